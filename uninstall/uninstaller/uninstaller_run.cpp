// The uninstaller's run over the removal seam: every decision is made before anything is touched,
// and whatever could not be removed stays recorded so that the next run finishes the job.
#include "uninstall/uninstaller/uninstaller_run.h"

#include <algorithm>
#include <set>

#include "archive/ascii_case.h"
#include "uninstall/registration.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstaller/command_line.h"
#include "uninstall/uninstaller/messages.h"

namespace kv::uninstall {
namespace {

class Run {
public:
    Run(RemovalSystem& system, const UninstallRequest& request, os::RunLog& log)
        : m_system(system), m_request(request), m_log(log) {}

    UninstallOutcome Execute() {
        const std::string dataPath = DataFilePath(m_request.folder);
        const auto bytes = m_system.ReadWholeFile(dataPath);
        if (!bytes) {
            if (IsRegistered()) return Stop({kUninstallNoDataFile, {}, dataPath});
            // Neither recorded nor registered: the product was never installed there (or its removal
            // finished all but the empty folder). The folder is not this run's to touch.
            return Stop({kUninstallNotInstalled, m_request.product, m_request.folder});
        }
        // A file that ends inside a record (a killed or cut-short write) is read up to its last
        // whole record: the partial one names nothing that can be trusted, and the rewritten file
        // leaves it out.
        const DecodedLog decoded = DecodeRecords(*bytes);
        const std::span<const UninstallRecord> whole = decoded.Complete();
        const std::vector<UninstallRecord> records(whole.begin(), whole.end());
        if (auto damage = FirstDamage(records)) return Stop({kUninstallDamagedData, {}, dataPath, std::move(damage)});
        const RemovalPlan plan = PlanRemoval(records, m_request.product);
        if (!plan.found()) return Stop({kUninstallUnknownProduct, m_request.product, dataPath});
        if (auto damage = FirstUnsafe(records, plan, m_request.folder))
            return Stop({kUninstallDamagedData, {}, dataPath, std::move(damage)});
        if (!m_request.quiet &&
            !m_system.Confirm(Say(Text::Question, m_request.product), CatalogueText(Text::Caption))) {
            return Finish(kUninstallDeclined);
        }

        for (const std::size_t i : plan.shared) m_log.Line({"Kept for another product: ", records[i].text});
        RemoveTargets(records, plan);
        RemoveFolders(records);

        std::vector<std::size_t> failed(m_failed.begin(), m_failed.end());
        // The registration goes before the data file is rewritten: a run stopped in between leaves
        // the product recorded, and the next run finds it and finishes. A key that could not be
        // deleted keeps the product recorded too, so that the next run can still find it.
        const bool keyLeft = !failed.empty() || !DropRegistration();
        const auto remaining = RemainingRecords(records, plan, failed, keyLeft);
        const bool dataFileGone = UpdateDataFile(dataPath, remaining);
        if (dataFileGone) m_system.RemoveEmptyFolder(FolderToRemove(m_request.folder), m_request.folder);

        return Finish(m_notRemoved.empty() ? kUninstallRemoved : kUninstallIncomplete);
    }

private:
    // The installation folder as a folder to remove, without the backslashes it may have been typed
    // with. "C:\" stays as it is: a drive's root is never removed anyway.
    static std::string FolderToRemove(std::string path) {
        while (path.size() > 3 && path.back() == '\\') path.pop_back();
        return path;
    }

    bool IsRegistered() {
        const std::string keyPath = UninstallKeyPath(m_request.product);
        for (const RegistryView view : kRegistryViews) {
            if (m_system.ReadMachineString(view, keyPath, "UninstallString")) return true;
        }
        return false;
    }

    // One file or shortcut to delete: its record, its path and the folder it must be inside.
    struct Pending {
        std::size_t record;
        std::string path;
        std::string within;
    };

    // The shortcut's file and its special folder, or nothing when the shell cannot name that folder.
    std::optional<Pending> ShortcutPath(std::size_t i, const UninstallRecord& record) {
        const auto folder =
            m_system.SpecialFolderPath(record.location != 0 ? SpecialFolder::Desktop : SpecialFolder::Programs);
        if (!folder) return std::nullopt;
        return Pending{i, *folder + "\\" + ShortcutRelativePath(record), *folder};
    }

    // Deletes every file and shortcut of the plan; those refused are tried again in later passes,
    // so that several files in use cost one pause per pass, not one each.
    void RemoveTargets(const std::vector<UninstallRecord>& records, const RemovalPlan& plan) {
        std::vector<Pending> pending;
        for (const std::size_t i : plan.shortcuts) {
            auto path = ShortcutPath(i, records[i]);
            if (!path) {
                m_failed.insert(i);
                m_notRemoved.push_back(Say(Text::ShortcutFolderUnknown, records[i].text));
                m_log.Line({"Left: ", m_notRemoved.back()});
                continue;
            }
            pending.push_back(std::move(*path));
        }
        const std::string dataPath = DataFilePath(m_request.folder);
        for (const std::size_t i : plan.files) {
            // The data file is rewritten at the end, never deleted as one of the files.
            if (SamePath(records[i].text, dataPath)) continue;
            pending.push_back({i, records[i].text, m_request.folder});
        }
        for (int attempt = 1; attempt <= kRemoveTries && !pending.empty(); ++attempt) {
            if (attempt > 1) m_system.Sleep(kRetryPauseMs);
            std::vector<Pending> refused;
            for (auto& item : pending) {
                const RemoveResult result = m_system.RemoveFile(item.path, item.within);
                if (result == RemoveResult::Failed) {
                    refused.push_back(std::move(item));
                    continue;
                }
                if (result == RemoveResult::Outside) {
                    // Kept, and its record with it: what a link leads to is not this product's.
                    m_failed.insert(item.record);
                    m_notRemoved.push_back(Say(Text::KeptBehindLink, item.path, item.within));
                    m_log.Line({"Kept: ", m_notRemoved.back()});
                    continue;
                }
                m_gone.push_back(item.record);  // removed, or already missing
                m_log.Line({result == RemoveResult::Removed ? "Removed " : "Already gone: ", item.path});
            }
            pending = std::move(refused);
        }
        for (const auto& item : pending) {
            m_failed.insert(item.record);
            m_notRemoved.push_back(item.path);
            m_log.Line({"Left (in use or refused): ", item.path});
        }
    }

    // Folders that held what was removed, deepest first, and only when empty: a folder with
    // anything left in it stays, and nothing is removed recursively.
    void RemoveFolders(const std::vector<UninstallRecord>& records) {
        std::set<std::string> folders;
        std::set<std::string> menuFolders;
        for (const std::size_t i : m_gone) {
            const UninstallRecord& record = records[i];
            if (record.kind == kKindShortcut) {
                if (record.location == 0 && !record.menuFolder.empty()) menuFolders.insert(record.menuFolder);
            } else {
                for (auto& folder : FoldersBelow(record.text, m_request.folder)) folders.insert(std::move(folder));
            }
        }
        std::vector<std::string> ordered(folders.begin(), folders.end());
        std::sort(ordered.begin(), ordered.end(),
                  [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
        // Every level between a removed file and the installation folder goes once it is empty, the
        // nested ones as much as the first. A special folder that lies there (a product installed
        // into a user's profile) is the shell's, never ours, even when it is empty.
        const auto desktop = m_system.SpecialFolderPath(SpecialFolder::Desktop);
        const auto programs = m_system.SpecialFolderPath(SpecialFolder::Programs);
        for (const auto& folder : ordered) {
            if ((desktop && SamePath(folder, *desktop)) || (programs && SamePath(folder, *programs))) continue;
            m_system.RemoveEmptyFolder(folder, m_request.folder);
        }
        if (!menuFolders.empty()) {
            if (programs) {
                for (const auto& group : menuFolders) m_system.RemoveEmptyFolder(*programs + "\\" + group, *programs);
            }
        }
    }

    // Rewrites the data file with what is left, or deletes it when no product is left. True when
    // the file is gone.
    bool UpdateDataFile(const std::string& dataPath, const std::vector<UninstallRecord>& remaining) {
        if (HasProduct(remaining)) {
            std::vector<std::uint8_t> bytes;
            for (const auto& record : remaining) EncodeRecord(record, bytes);
            if (!m_system.ReplaceFile(dataPath, bytes)) {
                m_notRemoved.push_back(Say(Text::DataFileNotUpdated, dataPath));
                m_log.Line({"Left: ", m_notRemoved.back()});
            } else {
                m_log.Line({"Data file rewritten for the products left: ", dataPath});
            }
            return false;
        }
        // A replacement left half-written by a run that was stopped goes with the data file.
        m_system.RemoveFile(ReplacementPath(dataPath), m_request.folder);
        for (int attempt = 1; attempt <= kRemoveTries; ++attempt) {
            if (attempt > 1) m_system.Sleep(kRetryPauseMs);
            const RemoveResult result = m_system.RemoveFile(dataPath, m_request.folder);
            if (result == RemoveResult::Outside) break;
            if (result != RemoveResult::Failed) {
                m_log.Line({"Data file deleted: ", dataPath});
                return true;
            }
        }
        m_notRemoved.push_back(dataPath);
        m_log.Line({"Left (in use or refused): ", dataPath});
        return false;
    }

    // The key names the product, not the folder: when the same product was installed again into
    // another folder, the registration is that installation's, and it stays. Both registry views are
    // looked at, since this program may not be of the installer's machine type.
    // False when a key of this folder could not be deleted.
    bool DropRegistration() {
        const std::string keyPath = UninstallKeyPath(m_request.product);
        for (const RegistryView view : kRegistryViews) {
            if (NamesAnotherFolder(m_system.ReadMachineString(view, keyPath, "UninstallString"))) {
                m_log.Line({"Registry key kept, it names another folder: HKLM\\", keyPath});
                continue;
            }
            if (!m_system.DeleteMachineKey(view, keyPath)) {
                m_notRemoved.push_back(Say(Text::RegistryKeyLeft, keyPath));
                m_log.Line({"Left: ", m_notRemoved.back()});
                return false;
            }
        }
        m_log.Line({"Registration of this folder removed: HKLM\\", keyPath});
        return true;
    }

    bool NamesAnotherFolder(const std::optional<std::string>& command) const {
        if (!command) return false;
        // The program's path may stand in quotes ("C:\Win Dir\Kvuninstall.exe" "FOLDER|PRODUCT").
        const std::string folded = archive::LowerAscii(*command);
        const std::size_t exe = folded.find(".exe");
        const auto registered =
            exe == std::string::npos ? std::nullopt : ParseUninstallArguments(command->substr(exe + 4));
        return registered && !SamePath(registered->folder, m_request.folder);
    }

    // A run that stops before touching anything: a box with the reason, unless quiet.
    UninstallOutcome Stop(UninstallOutcome outcome) {
        const std::string message = OutcomeText(outcome);
        m_log.Line(message);
        if (!m_request.quiet) m_system.Tell(message, CatalogueText(Text::Caption), true);
        return outcome;
    }

    UninstallOutcome Finish(UninstallExitCode code) {
        UninstallOutcome outcome{code, m_request.product, {}, {}, m_notRemoved};
        if (code == kUninstallDeclined) {
            m_log.Line("Removal declined");
            return outcome;
        }
        const std::string message = OutcomeText(outcome);
        m_log.Line(message);
        if (!m_request.quiet) m_system.Tell(message, CatalogueText(Text::Caption), code != kUninstallRemoved);
        return outcome;
    }

    RemovalSystem& m_system;
    const UninstallRequest& m_request;
    os::RunLog& m_log;
    std::vector<std::size_t> m_gone;  // records whose file or shortcut no longer exists
    std::set<std::size_t> m_failed;   // records whose file or shortcut is still there
    std::vector<std::string> m_notRemoved;
};

}  // namespace

UninstallOutcome RunUninstall(RemovalSystem& system, std::string_view arguments, os::RunLog& log) {
    const auto request = ParseUninstallArguments(arguments);
    if (!request) {
        const UninstallOutcome outcome{kUninstallBadCommandLine, std::string(arguments)};
        const std::string message = OutcomeText(outcome);
        log.Line(message);
        if (!HasQuietOption(arguments)) system.Tell(message, CatalogueText(Text::Caption), true);
        return outcome;
    }
    return Run(system, *request, log).Execute();
}

}  // namespace kv::uninstall
