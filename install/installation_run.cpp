// The installation run.
#include "install/installation_run.h"

#include <new>
#include <variant>
#include <vector>

#include "archive/ascii_case.h"
#include "archive/names.h"
#include "archive/options.h"
#include "install/file_placement.h"
#include "install/messages.h"
#include "install/profile_settings.h"
#include "install/uninstall_setup.h"
#include "uninstall/uninstall_log.h"

namespace kv::install {

namespace {

constexpr char kLicenseFile[] = "Kvlicense.rtf";

using archive::IsSeparator;
using archive::JoinPath;
using archive::LowerAscii;

bool IsLicenseRecord(const std::string& file) {
    static constexpr char kPrefix[] = "license";
    if (file.size() < 7) return false;
    for (std::size_t i = 0; i < 7; ++i)
        if (LowerAscii(file[i]) != kPrefix[i]) return false;
    return true;
}

// Neither a drive ("C:") nor a separator at its start: relative to the current directory.
bool IsRelativePath(const std::string& path) {
    if (path.empty() || IsSeparator(path[0])) return false;
    return !(path.size() >= 2 && path[1] == ':');
}

// A drive without a separator behind it ("C:", "C:Apps"): relative to that drive's current
// directory, which Windows keeps for each drive.
bool IsDriveRelativePath(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' && (path.size() == 2 || !IsSeparator(path[2]));
}

// One run: the state that lives from the folder check to the dialog's closing.
class Run {
public:
    Run(RunState& state, os::System& system, RunUi& ui, bool fromInstallNow)
        : m_state(state),
          m_system(system),
          m_ui(ui),
          m_manifest(*state.manifest),
          m_fromInstallNow(fromInstallNow),
          m_log(system),
          m_runLog(os::OrNullLog(state.log)) {}

    RunResult Execute();

private:
    enum class LicensePass { Done, Declined, Launched };
    // How the licence pass ended, or what stopped it.
    using LicenseResult = std::variant<LicensePass, Failure>;

    bool Option(const char* option) const { return archive::OptionPresent(option, m_state.commandLine.c_str()); }
    RunResult FailureExit(Failure failure);
    bool ResolveFolder();
    LicenseResult WalkLicensePass();
    LicenseResult ShowLicense(const archive::FileRecord& record);
    void CopySelf();
    void AskToStart(const PlacementContext& placed);

    RunState& m_state;
    os::System& m_system;
    RunUi& m_ui;
    const archive::Manifest& m_manifest;
    const bool m_fromInstallNow;
    uninstall::UninstallLog m_log;
    os::RunLog& m_runLog;
    std::string m_folderText;
    std::string m_systemFolder;
};

RunResult Run::FailureExit(Failure failure) {
    // Records appended so far stay in the data file, closed before the message is shown.
    m_log.Close();
    // Launch mode that starts nothing placed nothing either, and has an ending of its own.
    const bool launch = failure.kind == FailureKind::ProgramNotStarted;
    return {launch ? RunOutcome::LaunchFailed : RunOutcome::Failed, std::move(failure)};
}

// Makes the folder text absolute and creates the folder; false when that is not possible.
bool Run::ResolveFolder() {
    // Every later path is the folder joined with a relative part, and the folder becomes the
    // current directory: a relative folder text would then point one level too deep. It is taken
    // from the current directory once, here, and used in that absolute form from now on.
    if (IsRelativePath(m_folderText)) m_folderText = JoinPath(m_system.CurrentDirectory(), m_folderText);
    // "C:Apps" (what the drive rule makes of a relative default folder) and a bare "C:" depend on
    // C:'s current directory, which changing into the folder would move: the data file, the
    // logged paths, the self-copy and the registration would then name another folder than the
    // files went to. It is resolved as Windows resolves it, once, before anything is written.
    if (IsDriveRelativePath(m_folderText)) {
        const auto full = m_system.FullPathName(m_folderText);
        if (!full) return false;
        m_folderText = *full;
    }
    // The path buffers hold 259 characters: a longer text is refused rather than cut, which would
    // install into a different folder than the one shown. So is a folder whose own files (the data
    // file, the scratch file, the licence) would not fit, before anything is written: they are
    // made late, after targets were created.
    for (const char* name : {uninstall::kDataFileName, kExpandTempName, kLicenseFile}) {
        if (JoinPath(m_folderText, name).size() > kMaxPathLength) return false;
    }
    return CreateFolderPath(m_system, m_folderText);
}

RunResult Run::Execute() {
    m_folderText = m_ui.ReadFolderText();
    if (HasForbiddenFolderCharacter(m_folderText))
        return {RunOutcome::FolderRefused, Failure{FailureKind::FolderRefused}};
    m_ui.DisableControls();
    m_systemFolder = m_state.windowsDirectory;
    if (!ResolveFolder()) return FailureExit({FailureKind::FolderNotCreated, m_folderText});
    m_system.ChangeDirectory(m_folderText);
    m_runLog.Line({"Installation folder: ", m_folderText});

    ApplySettings(m_system, m_manifest.settings, m_state.windowsDirectory, m_folderText, m_runLog);

    const int fileCount = static_cast<int>(m_manifest.files.size());
    if (!(m_fromInstallNow && Option("OptNL"))) {
        const LicenseResult pass = WalkLicensePass();
        if (const Failure* failure = std::get_if<Failure>(&pass)) return FailureExit(*failure);
        switch (std::get<LicensePass>(pass)) {
        case LicensePass::Done:
            break;
        case LicensePass::Declined:
            return {RunOutcome::LicenseDeclined};
        case LicensePass::Launched:
            return {RunOutcome::Launched};
        }
    }

    // With no records the step 100 / fileCount + 1 has no value: no step is made.
    if (fileCount > 0) m_ui.StepProgress(fileCount);

    if (!m_log.Open(m_folderText)) {
        // A data file that is a link or has a second name is refused, not replaced: it may hold the
        // records of products installed here before, and whoever put it there must look at it.
        const std::string dataPath = uninstall::DataFilePath(m_folderText);
        if (m_system.IsLink(dataPath)) return FailureExit({FailureKind::LinkRefused, dataPath});
        return FailureExit({FailureKind::DataFileNotOpened});
    }
    m_log.AddProduct(m_manifest.displayName);

    PlacementContext placement{m_system, m_ui,         m_manifest,     *m_state.entries,
                               m_log,    m_folderText, m_systemFolder, m_state.title};
    placement.runLog = m_state.log;
    if (Result placed = PlaceFiles(placement); !placed) return FailureExit(placed.failure());

    if (!m_state.useCurrentFolder) CopySelf();
    AskToStart(placement);

    const std::optional<std::string> warning = SetUpUninstall(placement);
    if (!warning) return {RunOutcome::Completed};
    m_ui.ShowWarning(*warning, Say(Notice::InstallerCaption));
    return {RunOutcome::CompletedNotUninstallable};
}

Run::LicenseResult Run::WalkLicensePass() {
    for (const archive::FileRecord& record : m_manifest.files) {
        if (m_fromInstallNow && IsLicenseRecord(record.file)) {
            // Only the first licence record is shown; accepting it ends the pass.
            return ShowLicense(record);
        }
        if (!m_fromInstallNow && record.file == m_manifest.runFile) {
            const std::string program = JoinPath(m_folderText, record.file);
            const std::string workingDirectory =
                record.folder.empty() ? m_folderText : JoinPath(m_folderText, record.folder);
            if (!m_system.ShellOpen(program, record.exeparms, workingDirectory))
                return Failure{FailureKind::ProgramNotStarted, program};
            m_runLog.Line({"Started ", program, " (launch mode)"});
            return LicensePass::Launched;
        }
    }
    return LicensePass::Done;
}

Run::LicenseResult Run::ShowLicense(const archive::FileRecord& record) {
    std::vector<std::uint8_t> buffer;
    bool complete = false;
    try {
        complete = ReadEntry(*m_state.entries, record.offset, record.length, buffer);
    } catch (const std::bad_alloc&) {
        return Failure{FailureKind::LicenseNoMemory};
    }
    auto out = m_system.OpenFile(kLicenseFile, os::OpenMode::Scratch);
    if (!out) return Failure{FailureKind::LicenseNotCreated, kLicenseFile};
    // An entry that lies outside the installer file is refused like a short write, not shown as zeros.
    if (!complete) return Failure{FailureKind::FileNotWritten, kLicenseFile};
    // Expanded the way every placed file is, through the scratch file of the folder (the current
    // directory), which goes right after.
    std::unique_ptr<os::FileStream> scratch;
    const Result expanded = ExpandEntry(m_system, kExpandTempName, scratch, buffer, *out, kLicenseFile);
    if (scratch) scratch->Close();
    m_system.RemoveFile(kExpandTempName);
    if (!expanded) return expanded.failure();
    // Bytes that the close could not flush are as lost as a short write.
    if (!out->Close()) return Failure{FailureKind::FileNotWritten, kLicenseFile};
    buffer = {};
    const bool accepted = m_ui.ShowLicense(kLicenseFile);
    m_system.RemoveFile(kLicenseFile);
    return accepted ? LicensePass::Done : LicensePass::Declined;
}

void Run::CopySelf() {
    const std::string destination = JoinPath(m_folderText, m_manifest.setupName);
    // The copy is of the file this installer was read from and verified, not of whatever lies under
    // its name in the start-up directory.
    const std::string& source = m_state.archivePath;
    if (!archive::EqualsIgnoringCase(source, destination)) {
        std::uint32_t error = 0;
        if (!m_system.CopyFileOver(source, destination, error)) {
            m_ui.ShowWarning(Say(Notice::SelfCopyFailed, source, destination, static_cast<int>(error)),
                             Say(Notice::InstallerCaption));
            // What stands at the destination is not this installer's (perhaps the user's own
            // file): it is neither recorded for the uninstaller nor stamped.
            return;
        }
    }
    m_log.AddFile(destination);
    m_system.SetFileTimes(destination, m_manifest.archiveDate);  // not reported
    m_runLog.Line({"Installer's copy: ", destination});
}

void Run::AskToStart(const PlacementContext& placed) {
    // Nothing placed, nothing to offer. A runFile record that was never placed (no such record,
    // or a skipped one) leaves nothing known to start either: no question and no start.
    if (placed.lastPlacedPath.empty() || !placed.launch.set) return;
    bool start = false;
    // Unattended runs (OptNP, and quiet OptQ, which has nobody to ask) start the program only with OptRE.
    if (!Option("OptNP") && !Option("OptQ")) {
        start = m_ui.AskYesNo(Say(Notice::RunNowQuestion, m_manifest.title), Say(Notice::CompleteCaption));
    } else if (Option("OptRE")) {
        start = true;
    }
    // The bare runFile name: the current directory is still the installation folder.
    if (!start) return;
    // The installation is complete either way: a program that does not start is only logged.
    const bool started =
        m_system.ShellOpen(m_manifest.runFile, placed.launch.parameters, placed.launch.workingDirectory);
    m_runLog.Line({started ? "Started " : "Could not start ", m_manifest.runFile});
}

}  // namespace

bool HasForbiddenFolderCharacter(const std::string& folderText) {
    return folderText.find_first_of("/*?\"<>|") != std::string::npos;
}

bool CreateFolderPath(os::System& system, const std::string& text) {
    if (text.empty()) return false;
    if (system.MakeDirectory(text)) return true;

    std::string prefix;
    std::size_t start = 0;
    // A network path's \\server\share is one root that cannot be made: an existing share is where
    // the walk starts, and the folders below it are made as on a drive.
    if (text.size() > 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        const std::size_t server = text.find_first_of("\\/", 2);
        const std::size_t share = server == std::string::npos ? server : text.find_first_of("\\/", server + 1);
        if (share == std::string::npos) return system.IsDirectory(text);
        prefix = text.substr(0, share);
        start = share;
    }
    while (start < text.size()) {
        // A segment runs from its first character (a separator after the first segment) to just
        // before the next separator that follows that character.
        std::size_t end = start + 1;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        const bool last = end == text.size();
        if (end - start == 1 && IsSeparator(text[start])) {
            // A trailing separator is fine when the folder exists (an existing folder written with a
            // backslash, or a drive root such as C:\); two separators in a row never are.
            return last && system.IsDirectory(text);
        }
        prefix.append(text, start, end - start);
        if (!system.Exists(prefix) && !system.MakeDirectory(prefix)) return false;
        start = end;
    }
    // Only a folder standing there afterwards counts, not a file of that name.
    return system.IsDirectory(prefix);
}

RunResult RunInstallation(RunState& state, os::System& system, RunUi& ui, bool fromInstallNow) {
    Run run(state, system, ui, fromInstallNow);
    return run.Execute();
}

}  // namespace kv::install
