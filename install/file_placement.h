// File placement: every FileRecord is read from the archive, expanded into its target, stamped,
// given its shortcuts, logged and counted on the progress bar.
#pragma once

#include <cstdint>
#include <memory>
#include <map>
#include <span>
#include <string>

#include "archive/format.h"
#include "install/failure.h"
#include "install/installation_run.h"
#include "install/run_ui.h"
#include "os/system.h"
#include "uninstall/log_format.h"
#include "uninstall/uninstall_log.h"

namespace kv::install {

// Every path the pass forms must fit a 260-byte buffer with its zero.
inline constexpr std::size_t kMaxPathLength = archive::kPathLimit;
inline constexpr int kWriteAttempts = 10;
inline constexpr unsigned kWriteRetryMilliseconds = 1000;
inline constexpr char kExpandTempName[] = "Kvtmpexp.dat";  // the scratch file of each folder

// The program that the run may start at the end, as the record named runFile left it.
struct LaunchRequest {
    bool set = false;
    std::string path;  // the placed file's full path, the icon of the uninstall entry
    std::string workingDirectory;
    std::string parameters;
};

// What the pass works on, and what it leaves for the run's completion question.
struct PlacementContext {
    os::System& system;
    RunUi& ui;
    const archive::Manifest& manifest;
    archive::ReadAtSource& entries;
    uninstall::UninstallLog& log;
    std::string installFolder;  // the folder text as typed; also the current directory
    std::string systemFolder;   // the Windows directory as the run asked for it
    std::string title;          // the title box's text, for the open/create message

    LaunchRequest launch;
    std::string lastPlacedPath;  // full path of the last record that got past the skip rules
    // Each folder's Kvtmpexp.dat by its path, open from its first entry to the end of the pass, when
    // it is closed and removed. Paths are ordered as Windows compares them: records in Data and in
    // DATA share one scratch file, which a second open would refuse.
    struct PathLess {
        bool operator()(const std::string& a, const std::string& b) const {
            return uninstall::ComparablePath(a) < uninstall::ComparablePath(b);
        }
    };
    std::map<std::string, std::unique_ptr<os::FileStream>, PathLess> scratchFiles;
    // The expanded sizes of the files placed for the product. The shared uninstaller is left out, and
    // so is the installer's own copy: neither is the product's.
    std::uint64_t placedBytes = 0;
    os::RunLog* runLog = nullptr;  // each file placed or skipped and each shortcut; none: not logged
};

// Places every record in order, up to the first failure.
Result PlaceFiles(PlacementContext& ctx);
// Places one record, or skips it when the copy there is current.
Result PlaceFile(PlacementContext& ctx, const archive::FileRecord& record, std::size_t index);

// Creates `target` for writing: 10 attempts, one second apart. Null when all of them failed.
std::unique_ptr<os::FileStream> OpenTarget(PlacementContext& ctx, const std::string& target);

// Creates `target`, expands the stored `bytes` into it through the folder's scratch file and gives
// it `stamp` as its times. A target that a skip rule keeps by its creation time (`keptByDate`)
// carries the earliest time while it is incomplete.
Result WriteEntry(PlacementContext& ctx, const std::string& target, const std::string& folder,
                  std::span<const std::uint8_t> bytes, os::FileTime stamp, bool keptByDate);

// The one way an archive entry becomes a file, for the licence text and every placed file alike:
// the stored `bytes` replace the content of the scratch file, and the LZ service expands them from
// there into the open `out` (an SZDD entry expanded, any other copied unchanged). `scratch` is
// created new at `scratchPath` on first use and stays open for the next entries of its folder.
// A failure names the file as `name`. The caller closes and removes the scratch file.
Result ExpandEntry(os::System& system, const std::string& scratchPath, std::unique_ptr<os::FileStream>& scratch,
                   std::span<const std::uint8_t> bytes, os::FileStream& out, const std::string& name);

// Whether the text from the target's last "." on is ".itc" or ".sbb", in any case.
bool IsKeptDataFile(const std::string& target);

// Reads an entry into a zero-filled buffer. False when fewer than `length` bytes could be read.
bool ReadEntry(archive::ReadAtSource& entries, std::uint32_t offset, std::uint32_t length,
               std::vector<std::uint8_t>& buffer);

}  // namespace kv::install
