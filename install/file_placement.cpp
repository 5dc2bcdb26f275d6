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

namespace {

constexpr os::FileTime kIncompleteFileTime = 1;

std::string Join(const std::string& first, const std::string& second) {
    return first + "\\" + second;
}

// An existing copy created at or after the archive's date is kept.
bool ExistingCopyIsCurrent(os::System& system, const std::string& target, os::FileTime archiveDate) {
    const auto created = system.GetCreationTime(target);
    return created && *created >= archiveDate;
}

}  // namespace

bool IsKeptDataFile(const std::string& target) {
    const std::size_t dot = target.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string tail = target.substr(dot);
    return archive::EqualsIgnoringCase(tail, ".itc") || archive::EqualsIgnoringCase(tail, ".sbb");
}

bool ReadEntry(archive::ReadAtSource& entries, std::uint32_t offset, std::uint32_t length, std::vector<std::uint8_t>& buffer) {
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
    const std::string scratchPath = Join(folder, kExpandTempName);
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

    const bool inSystemFolder = archive::IsUninstallerRecord(index) && record.folder.empty();
    std::string target;
    if (!record.folder.empty()) target = Join(record.folder, record.file);
    else if (archive::IsUninstallerRecord(index)) target = Join(ctx.systemFolder, record.file);
    else target = record.file;

    // The first record in the Windows directory already has an absolute target; joining it to the
    // installation folder would name nothing, so its shortcuts and the completion check use the
    // target itself.
    const std::string fullPath = inSystemFolder ? target : Join(ctx.installFolder, target);
    const std::string logPath = Join(ctx.installFolder, target);
    const std::string workingFolder =
        record.folder.empty() ? ctx.installFolder : Join(ctx.installFolder, record.folder);
    const std::string expansionFolder = !record.folder.empty() ? Join(ctx.installFolder, record.folder)
                                        : archive::IsUninstallerRecord(index) ? ctx.systemFolder
                                                                     : ctx.installFolder;

    // A path that does not fit the platform's path buffers is refused rather than cut short into
    // the name of some other file. Only the paths this record uses count: the first record is
    // never logged, so its log path is no path at all.
    for (const std::string& path : {target, fullPath, !archive::IsUninstallerRecord(index) ? logPath : target, workingFolder}) {
        if (path.size() > kMaxPathLength) return Failure{FailureKind::FileNotCreated, path, {ctx.title}};
    }

    os::RunLog& runLog = os::OrNullLog(ctx.runLog);
    if ((inSystemFolder || IsKeptDataFile(target)) && ExistingCopyIsCurrent(ctx.system, target, manifest.archiveDate)) {
        runLog.Line({"Skipped ", fullPath, ": the copy there is as new as the archive"});
        return {};
    }

    // The file is recorded before its data is written, so a failed write still leaves its record.
    if (!archive::IsUninstallerRecord(index)) ctx.log.AddFile(logPath);
    ctx.lastPlacedPath = fullPath;
    if (record.file == manifest.runFile) {
        ctx.launch.set = true;
        ctx.launch.path = fullPath;
        ctx.launch.workingDirectory = workingFolder;
        ctx.launch.parameters = record.exeparms;
    }
    // One level only, result ignored: a missing parent shows up as a failed open below.
    if (!record.folder.empty()) ctx.system.MakeDirectory(record.folder);

    // An entry that lies (partly) outside the installer file is refused rather than installed as zeros.
    if (!complete) return Failure{FailureKind::FileNotWritten, target};
    // A record stored under the scratch file's own name would be expanded from itself.
    if (archive::EqualsIgnoringCase(record.file, kExpandTempName)) return Failure{FailureKind::FileNotExpanded, target};
    const os::FileTime stamp = archive::IsUninstallerRecord(index) ? manifest.uninstallerDate : manifest.archiveDate;
    if (Result written = WriteEntry(ctx, target, expansionFolder, buffer, stamp, inSystemFolder || IsKeptDataFile(target));
        !written)
        return written;
    if (!archive::IsUninstallerRecord(index)) ctx.placedBytes += archive::szdd::ExpandedSize(buffer);
    buffer = {};
    runLog.Line({"Placed ", fullPath});

    // The Desktop shortcut comes before the Programs-menu one; a failed shortcut is not fatal.
    if (record.desktopIcon != 0) {
        if (CreateShortcut(ctx.system, 1, std::string(), fullPath, record.iconName, workingFolder, record.exeparms)) {
            ctx.log.AddShortcut(uninstall::kLocationDesktop, std::nullopt, record.iconName);
            runLog.Line({"Desktop shortcut: ", record.iconName});
        } else
            ctx.ui.ShowWarning(Say(Notice::ShortcutFailed), Say(Notice::InstallationFailedCaption));
    }
    if (record.programsIcon != 0) {
        if (CreateShortcut(ctx.system, 0, manifest.programsFolder, fullPath, record.iconName, workingFolder,
                           record.exeparms)) {
            ctx.log.AddShortcut(uninstall::kLocationPrograms, manifest.programsFolder, record.iconName);
            runLog.Line({"Programs-menu shortcut: ", manifest.programsFolder, "\\", record.iconName});
        } else
            ctx.ui.ShowWarning(Say(Notice::ShortcutFailed), Say(Notice::InstallationFailedCaption));
    }

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
