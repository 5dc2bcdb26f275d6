// The uninstaller's texts, and the one place where how a run ended becomes its message.
#include "uninstall/uninstaller/messages.h"

#include "uninstall/uninstaller/removal_plan.h"
#include "uninstall/uninstaller/uninstaller_run.h"

namespace kv::uninstall {
namespace {
constexpr std::size_t kListedLimit = 20;  // lines of a message box before "and N more"
}  // namespace

const char* CatalogueText(Text text) {
    switch (text) {
    case Text::Caption:
        return "Korvalin Uninstaller";
    case Text::Question:
        return "Remove %s and all of its components?";
    case Text::Removed:
        return "%s was removed.";
    case Text::BadCommandLine:
        return "The uninstaller cannot use its command line:\n%s\n\nIt expects the installation folder and the "
               "product name as FOLDER|PRODUCT, optionally followed by /S.\nNothing was removed.";
    case Text::NoDataFile:
        return "The uninstall data file %s could not be opened.\nNothing was removed.";
    case Text::DamagedData:
        return "The uninstall data file %s is damaged (%s).\nNothing was removed.";
    case Text::UnknownProduct:
        return "%s is not recorded in %s.\nNothing was removed.";
    case Text::NotInstalled:
        return "%s is not installed in %s: the folder has no uninstall data file and the product is not "
               "registered.\nNothing was removed.";
    case Text::InternalError:
        return "An unexpected error stopped the uninstaller.";
    case Text::IncompleteHead:
        return "Some components of %s could not be removed:\n\n";
    case Text::IncompleteMore:
        return "and %d more\n";
    case Text::IncompleteTail:
        return "\nClose the programs that use them and run the uninstaller again.";
    case Text::ShortcutFolderUnknown:
        return "shortcut %s (its folder is unknown)";
    case Text::DataFileNotUpdated:
        return "%s (could not be updated)";
    case Text::RegistryKeyLeft:
        return "registry key HKLM\\%s";
    case Text::UnknownKind:
        return "record %d: unknown kind %d";
    case Text::UnknownLocation:
        return "record %d: unknown shortcut location %d";
    case Text::FileOutsideFolder:
        return "record %d: %s is not inside %s";
    case Text::ShortcutLeavesFolder:
        return "record %d: shortcut %s leaves its folder";
    case Text::KeptBehindLink:
        return "%s (kept: a link leads it outside %s)";
    }
    return "";
}

std::string DamageText(const Damage& damage) {
    switch (damage.kind) {
    case DamageKind::UnknownKind:
        return Say(Text::UnknownKind, damage.record, damage.value);
    case DamageKind::UnknownLocation:
        return Say(Text::UnknownLocation, damage.record, damage.value);
    case DamageKind::FileOutsideFolder:
        return Say(Text::FileOutsideFolder, damage.record, damage.path, damage.folder);
    case DamageKind::ShortcutLeavesFolder:
        return Say(Text::ShortcutLeavesFolder, damage.record, damage.path);
    }
    return "";
}

std::string OutcomeText(const UninstallOutcome& outcome) {
    switch (outcome.exitCode) {
    case kUninstallRemoved:
        return Say(Text::Removed, outcome.subject);
    case kUninstallDeclined:
        return "";
    case kUninstallBadCommandLine:
        return Say(Text::BadCommandLine, outcome.subject);
    case kUninstallNoDataFile:
        return Say(Text::NoDataFile, outcome.dataFile);
    case kUninstallDamagedData:
        return Say(Text::DamagedData, outcome.dataFile, outcome.damage ? DamageText(*outcome.damage) : "");
    case kUninstallUnknownProduct:
        return Say(Text::UnknownProduct, outcome.subject, outcome.dataFile);
    case kUninstallNotInstalled:
        return Say(Text::NotInstalled, outcome.subject, outcome.dataFile);
    case kUninstallInternalError:
        return CatalogueText(Text::InternalError);
    case kUninstallIncomplete:
        break;
    }
    std::string text = Say(Text::IncompleteHead, outcome.subject);
    const auto& parts = outcome.notRemoved;
    for (std::size_t i = 0; i < parts.size() && i < kListedLimit; ++i) text += parts[i] + "\n";
    if (parts.size() > kListedLimit) text += Say(Text::IncompleteMore, parts.size() - kListedLimit);
    return text + CatalogueText(Text::IncompleteTail);
}

}  // namespace kv::uninstall
