// Quiet mode: the dialog's start-up steps and its run, without the dialog.
#include "app/quiet_install.h"

#include <direct.h>

#include <cstdio>
#include <exception>

#include "archive/options.h"
#include "install/installation_run.h"
#include "install/messages.h"
#include "install/product_texts.h"
#include "install/quiet_run_ui.h"
#include "os/win32_system.h"
#include "startup/archive_loader.h"
#include "startup/command_line.h"

namespace kv::app {

namespace {

startup::ExitCode InstallQuietly(const std::string& commandLine, const std::string& executableName,
                                 const std::string& modulePath, const std::optional<std::string>& chosenFolder,
                                 os::RunLog& log) {
    const auto option = [&commandLine](const char* word) { return archive::OptionPresent(word, commandLine.c_str()); };
    // The working directory is the text before "|", taken as it stands; a failed change is ignored.
    const std::string workingDir = startup::WorkingDirectoryPart(commandLine);
    if (!workingDir.empty()) (void)::_chdir(workingDir.c_str());
    os::Win32System system;
    const std::string startupDir = system.CurrentDirectory();

    startup::ArchiveLoader loader;  // closes the installer's file however the quiet run ends
    install::Result loaded = loader.OpenAndVerify(executableName, modulePath);
    if (loaded) {
        log.Line({"Archive ", modulePath, ": checksum matches"});
        loaded = loader.LoadManifest(system, option("OptUCD"), chosenFolder);
    }
    if (!loaded) {
        log.Line(install::FailureText(loaded.failure(), install::LoadProductTexts(system)));
        return startup::LoadFailureExitCode(loaded.failure());
    }

    install::RunState state = loader.RunState(loader.m_pManifest->title, startupDir, commandLine, &log);
    install::QuietRunUi window(loader.m_strInstallFolder, log);
    const install::RunResult result = install::RunInstallation(state, system, window, !option("OptNIN"));
    if (result.failure) {
        const std::string caption = install::Say(install::Notice::InstallationFailedCaption);
        log.Line({caption, ": ", install::FailureText(*result.failure, install::LoadProductTexts(system))});
    }
    if (result.outcome == install::RunOutcome::Completed ||
        result.outcome == install::RunOutcome::CompletedNotUninstallable)
        log.Line("Installation completed");
    return startup::RunExitCode(result.outcome);
}

}  // namespace

// Nothing may escape to the process's end without a line in the log and an exit code that says so.
startup::ExitCode RunQuietInstallation(const std::string& commandLine, const std::string& executableName,
                                       const std::string& modulePath, const std::optional<std::string>& chosenFolder,
                                       os::RunLog& log) {
    try {
        return InstallQuietly(commandLine, executableName, modulePath, chosenFolder, log);
    } catch (const std::exception& error) {
        log.Line({"An unexpected error stopped the installer: ", error.what()});
    } catch (...) {
        log.Line("An unexpected error stopped the installer");
    }
    return startup::kExitInternalError;
}

}  // namespace kv::app
