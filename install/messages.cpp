// The installer's texts, and the one place where a failure becomes its message.
#include "install/messages.h"

#include "install/product_texts.h"

namespace kv::install {

const char* CatalogueText(Notice notice) {
    switch (notice) {
    case Notice::InstallationFailedCaption:
        return "Installation Failed";
    case Notice::InstallerCaption:
        return "Korvalin Automatic Installer";
    case Notice::CompleteCaption:
        return "Installation Complete";
    case Notice::RunNowQuestion:
        return "The installation is complete.\nWould you like to run %s  now?";
    case Notice::ShortcutFailed:
        return "Failed to create Icon";
    case Notice::SelfCopyFailed:
        return "Warning: Copying %s to %s failed with error=%d.\nThis is not a fatal error - installation will "
               "continue.";
    case Notice::DataFileIncomplete:
        return "Warning: The uninstall data file %s could not be written completely.\n";
    case Notice::RegistrationRefused:
        return "Warning: Registering %s for uninstalling failed: %s.\n";
    case Notice::NotUninstallable:
        return "This is not a fatal error - installation is complete, but it cannot be uninstalled.";
    case Notice::UnexpectedError:
        return "An unexpected error stopped the installer:\n%s";
    case Notice::DesktopUnreachable:
        return "System Error - Could not access Desktop";
    case Notice::BrowsePrompt:
        return "For a new folder, choose an existing one here, then edit the folder path in the main window.";
    case Notice::TextTooLong:
        return "Please enter no more than %d characters.";
    }
    return "";
}

const char* CatalogueText(FailureKind kind) {
    switch (kind) {
    case FailureKind::ArchiveMissing:
        return "Could not open the archive: %s\n\n1) Make sure %s has been saved to a folder on your hard drive\n"
               "other than your Desktop.\nFor example \"C:\\My Documents\".\n\n2) Restart your computer.\n\n"
               "3) Run the %s program from the folder where you saved it.\n\n"
               "If you continue to have problems, please contact technical support\nat %s.";
    case FailureKind::ArchiveCorrupt:
        return "File is corrupt.  Redownload the file and try again.";
    case FailureKind::ManifestNoMemory:
        return "Memory Error - Cannot allocate enough memory to load manifest.";
    case FailureKind::FolderRefused:
        return "The installation folder you entered has invalid characters.\n"
               "Re-enter the folder name without using any of the following characters:\n"
               "/ : * ? \" < > |";
    case FailureKind::FolderNotCreated:
        return "Failed to create installation folder: \"%s\"";
    case FailureKind::DataFileNotOpened:
        return "Error opening Uninstall data file.\nMake sure you are not already installing this application, "
               "then run the install again.";
    case FailureKind::LicenseNoMemory:
        return "Memory Error - Cannot allocate enough memory to load license file.";
    case FailureKind::LicenseNotCreated:
        return "Failed to open/create file: %s\nMake sure all %s files are closed and try again.\n\n"
               "Note: you may have to reboot your computer to close files that Windows has open.";
    case FailureKind::FileNoMemory:
        return "Memory Error - Cannot allocate enough memory to load file:%s.\nfolder:%s  exeparms:%s\nlength=%d";
    case FailureKind::FileNotCreated:
        return "Failed to open/create file: %s\nMake sure all %s files are closed and try again.";
    case FailureKind::FileNotWritten:
        return "Failed to write file: %s";
    case FailureKind::FileNotExpanded:
        return "Failed to expand file: %s";
    case FailureKind::FileNotStamped:
        return "Failed to set archive date: %s";
    case FailureKind::LinkRefused:
        return "%s is a link to another place, or another name of a file elsewhere.\n"
               "Nothing was written through it. Remove it, then run the install again.";
    case FailureKind::ProgramNotStarted:
        return "Could not start the installed program: %s";
    }
    return "";
}

std::string FailureText(const Failure& failure, const ProductTexts& texts) {
    // The missing-archive text names the file three times and ends with the support address.
    if (failure.kind == FailureKind::ArchiveMissing)
        return archive::Format(CatalogueText(failure.kind), failure.subject, failure.subject, failure.subject,
                               texts.support);
    if (failure.kind == FailureKind::LicenseNotCreated)
        return archive::Format(CatalogueText(failure.kind), failure.subject, texts.vendorWord);
    std::vector<std::string> values{failure.subject};
    values.insert(values.end(), failure.more.begin(), failure.more.end());
    return archive::detail::Substitute(CatalogueText(failure.kind), values.data(), values.size());
}

}  // namespace kv::install
