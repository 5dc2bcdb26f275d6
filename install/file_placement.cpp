// File placement.
#include "install/file_placement.h"

#include <cstdio>
#include <new>

#include "archive/ascii_case.h"
#include "archive/names.h"
#include "archive/szdd.h"
#include "install/messages.h"
#include "install/shortcuts.h"

namespace kv::install {

using archive::JoinPath;

namespace {

constexpr os::FileTime kIncompleteFileTime = 1;

// An existing copy created at or after the archive's date is kept.
bool ExistingCopyIsCurrent(os::System& system, const std::string& target, os::FileTime archiveDate) {
    const auto created = system.GetCreationTime(target);
    return created && *created >= archiveDate;
}

// Where one record goes, worked out once for every step that names it.
struct Target {
    bool uninstaller;      // the first record: never logged, stamped with the uninstaller's date
    bool inSystemFolder;   // the uninstaller without a folder, which goes to the Windows directory
    std::string target;    // as opened: relative to the installation folder, or absolute
    std::string fullPath;  // absolute: the shortcuts' target and the completion check
    std::string logPath;   // what the data file records
    std::string workingFolder;
    std::string expansionFolder;  // where the record's scratch file is
};

Target TargetOf(const PlacementContext& ctx, const archive::FileRecord& record, std::size_t index) {
    Target at;
    at.uninstaller = archive::IsUninstallerRecord(index);
    at.inSystemFolder = at.uninstaller && record.folder.empty();
    if (!record.folder.empty())
        at.target = JoinPath(record.folder, record.file);
    else if (at.uninstaller)
        at.target = JoinPath(ctx.systemFolder, record.file);
    else
        at.target = record.file;
    // The first record in the Windows directory already has an absolute target; joining it to the
    // installation folder would name nothing, so its shortcuts and the completion check use the
    // target itself.
    at.fullPath = at.inSystemFolder ? at.target : JoinPath(ctx.installFolder, at.target);
    at.logPath = JoinPath(ctx.installFolder, at.target);
    at.workingFolder = record.folder.empty() ? ctx.installFolder : JoinPath(ctx.installFolder, record.folder);
    at.expansionFolder = !record.folder.empty() ? JoinPath(ctx.installFolder, record.folder)
                         : at.uninstaller       ? ctx.systemFolder
                                                : ctx.installFolder;
    return at;
}

// The Desktop shortcut comes before the Programs-menu one; a failed shortcut is not fatal.
void MakeShortcuts(PlacementContext& ctx, const archive::FileRecord& record, const Target& at) {
    os::RunLog& runLog = os::OrNullLog(ctx.runLog);
    const std::string& menu = ctx.manifest.programsFolder;
    if (record.desktopIcon != 0) {
        if (CreateShortcut(ctx.system, ShortcutPlace::Desktop, std::string(), at.fullPath, record.iconName,
                           at.workingFolder, record.exeparms)) {
            ctx.log.AddShortcut(uninstall::kLocationDesktop, std::nullopt, record.iconName);
            runLog.Line({"Desktop shortcut: ", record.iconName});
        } else
            ctx.ui.ShowWarning(Say(Notice::ShortcutFailed), Say(Notice::InstallationFailedCaption));
    }
    if (record.programsIcon != 0) {
        if (CreateShortcut(ctx.system, ShortcutPlace::ProgramsMenu, menu, at.fullPath, record.iconName,
                           at.workingFolder, record.exeparms)) {
            ctx.log.AddShortcut(uninstall::kLocationPrograms, menu, record.iconName);
            runLog.Line({"Programs-menu shortcut: ", menu, "\\", record.iconName});
        } else
            ctx.ui.ShowWarning(Say(Notice::ShortcutFailed), Say(Notice::InstallationFailedCaption));
    }
}

}  // namespace
bool IsKeptDataFile(const std::string& target) {
    const std::size_t dot = target.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string tail = target.substr(dot);
    return archive::EqualsIgnoringCase(tail, ".itc") || archive::EqualsIgnoringCase(tail, ".sbb");
}

bool ReadEntry(archive::ReadAtSource& entries, std::uint32_t offset, std::uint32_t length,
               std::vector<std::uint8_t>& buffer) {
    buffer.assign(length, 0);
    return entries.ReadAt(offset, buffer) == length;
}

Result ExpandEntry(os::System& system, const std::string& scratchPath, std::unique_ptr<os::FileStream>& scratch,
                   std::span<const std::uint8_t> bytes, os::FileStream& out, const std::string& name) {
    if (!scratch) scratch = system.OpenFile(scratchPath, os::OpenMode::Scratch);
    if (!scratch || !scratch->Truncate(0) || scratch->Write(bytes) < bytes.size())
        return Failure{FailureKind::FileNotWritten, name};
    if (!system.LzExpandInto(*scratch, out)) return Failure{FailureKind::FileNotExpanded, name};
    return {};
}

std::unique_ptr<os::FileStream> OpenTarget(PlacementContext& ctx, const std::string& target) {
    std::unique_ptr<os::FileStream> out;
    for (int attempt = 0; attempt < kWriteAttempts && !out; ++attempt) {
        out = ctx.system.OpenFile(target, os::OpenMode::CreateOrTruncate);
        // A wait follows every failed attempt, the last one included.
        if (!out) ctx.system.Sleep(kWriteRetryMilliseconds);
    }
    return out;
}

// The stored entry goes to the folder's scratch file (Kvtmpexp.dat), and the LZ service expands it
// from there straight into the open target, which is then stamped and closed. So each installed
// file is created once and opened once. Writing the entry under the target's name and expanding it
// into a temporary file beside it created two new files per record, deleted one and renamed the
// other: under Wine each new name costs a case-insensitive search of the whole folder, which made
// large folders slow. The scratch file stays open for the folder's next record and goes when the
// pass ends.
Result WriteEntry(PlacementContext& ctx, const std::string& target, const std::string& folder,
                  std::span<const std::uint8_t> bytes, os::FileTime stamp, bool keptByDate) {
    std::unique_ptr<os::FileStream> out = OpenTarget(ctx, target);
    if (!out) return Failure{FailureKind::FileNotCreated, target, {ctx.title}};
    // A new file's creation time is now, later than any archive's date: a run stopped before the
    // stamp below would leave a half-written file that the next run keeps. Until it is stamped it
    // is dated at the start of file time (1, since 0 means "unchanged" to Windows).
    if (keptByDate) out->SetTimes(kIncompleteFileTime);
    const std::string scratchPath = JoinPath(folder, kExpandTempName);
    if (Result expanded = ExpandEntry(ctx.system, scratchPath, ctx.scratchFiles[scratchPath], bytes, *out, target);
        !expanded)
        return expanded;
    if (!out->SetTimes(stamp)) return Failure{FailureKind::FileNotStamped, target};
    // Bytes that the close could not flush are as lost as a short write.
    if (!out->Close()) return Failure{FailureKind::FileNotWritten, target};
    return {};
}

Result PlaceFile(PlacementContext& ctx, const archive::FileRecord& record, std::size_t index) {
    const archive::Manifest& manifest = ctx.manifest;
    std::vector<std::uint8_t> buffer;
    bool complete = false;
    try {
        complete = ReadEntry(ctx.entries, record.offset, record.length, buffer);
    } catch (const std::bad_alloc&) {
        return Failure{FailureKind::FileNoMemory,
                       record.file,
                       {record.folder, record.exeparms, std::to_string(static_cast<int>(record.length))}};
    }

    const Target at = TargetOf(ctx, record, index);
    // A path that does not fit the platform's path buffers is refused rather than cut short into
    // the name of some other file, before the target is created. Only the paths this record uses
    // count: the first record is never logged, so its log path is no path at all; its folder's
    // scratch file does count.
    const std::string& logged = !at.uninstaller ? at.logPath : at.target;
    const std::string scratch = JoinPath(at.expansionFolder, kExpandTempName);
    for (const std::string& path : {at.target, at.fullPath, logged, at.workingFolder, scratch}) {
        if (path.size() > kMaxPathLength) return Failure{FailureKind::FileNotCreated, path, {ctx.title}};
    }

    os::RunLog& runLog = os::OrNullLog(ctx.runLog);
    const bool keptByDate = at.inSystemFolder || IsKeptDataFile(at.target);
    if (keptByDate && ExistingCopyIsCurrent(ctx.system, at.target, manifest.archiveDate)) {
        runLog.Line({"Skipped ", at.fullPath, ": the copy there is as new as the archive"});
        return {};
    }

    // The file is recorded before its data is written, so a failed write still leaves its record.
    if (!at.uninstaller) ctx.log.AddFile(at.logPath);
    ctx.lastPlacedPath = at.fullPath;
    if (record.file == manifest.runFile) ctx.launch = {true, at.fullPath, at.workingFolder, record.exeparms};
    // Every missing level, relative to the installation folder (the current directory), so no
    // level above it is ever created. The result is not needed: a level that could not be made
    // shows up as a failed open below, which names the file.
    if (!record.folder.empty()) CreateFolderPath(ctx.system, record.folder);
    // A level of the record's folder that someone made a link to another place beforehand is not
    // written into.
    for (std::size_t end = 0; !record.folder.empty() && end != std::string::npos;) {
        end = record.folder.find_first_of("\\/", end + 1);
        const std::string level = record.folder.substr(0, end);
        if (ctx.system.IsLink(level)) return Failure{FailureKind::LinkRefused, JoinPath(ctx.installFolder, level)};
    }

    // An entry that lies (partly) outside the installer file is refused rather than installed as zeros.
    if (!complete) return Failure{FailureKind::FileNotWritten, at.target};
    // A record stored under the scratch file's own name would be expanded from itself.
    if (archive::EqualsIgnoringCase(record.file, kExpandTempName))
        return Failure{FailureKind::FileNotExpanded, at.target};
    const os::FileTime stamp = at.uninstaller ? manifest.uninstallerDate : manifest.archiveDate;
    if (Result written = WriteEntry(ctx, at.target, at.expansionFolder, buffer, stamp, keptByDate); !written)
        return written;
    if (!at.uninstaller) ctx.placedBytes += archive::szdd::ExpandedSize(buffer);
    buffer = {};
    runLog.Line({"Placed ", at.fullPath});

    MakeShortcuts(ctx, record, at);
    ctx.ui.StepProgress(static_cast<int>(manifest.files.size()));
    return {};
}

Result PlaceFiles(PlacementContext& ctx) {
    const auto& files = ctx.manifest.files;
    Result placed;
    for (std::size_t index = 0; index < files.size() && placed; ++index) placed = PlaceFile(ctx, files[index], index);
    // Whatever the outcome, no scratch file stays behind.
    for (auto& [path, scratch] : ctx.scratchFiles) {
        if (scratch) scratch->Close();
        ctx.system.RemoveFile(path);
    }
    ctx.scratchFiles.clear();
    return placed;
}

}  // namespace kv::install
