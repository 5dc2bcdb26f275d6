// The uninstaller's seam to the operating system: the few file, folder, registry and message
// services a removal needs. Win32RemovalSystem is the product's; native tests use a fake that can
// hold a file "in use".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "os/system.h"

namespace kv::uninstall {

// The engine's System has no folder or registry-key removal and no replacing rename, and it would
// make a removal test fake forty services it never calls: the uninstaller gets its own small seam
// and reuses the engine's SpecialFolder names.
using os::SpecialFolder;

enum class RemoveResult {
    Removed,
    Missing,  // there was nothing of that name: not an error for an uninstaller
    Failed,   // in use, access denied or any other refusal: worth retrying
    Outside,  // reached through a link, or leads outside the folder it must be in: kept, never retried
};

// The two registry views of a 64-bit Windows. One Kvuninstall.exe in the Windows folder serves the
// products of 32-bit and 64-bit installers alike, and each registered its key in its own view.
enum class RegistryView { Programs32, Programs64 };
inline constexpr RegistryView kRegistryViews[] = {RegistryView::Programs32, RegistryView::Programs64};

// The new file that ReplaceFile writes before it takes `path`'s place.
inline std::string ReplacementPath(const std::string& path) { return path + ".new"; }

class RemovalSystem {
public:
    virtual ~RemovalSystem() = default;

    // The whole file; nothing when it cannot be opened or read.
    virtual std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) = 0;
    // Writes `bytes` to a new file beside `path` (ReplacementPath), then replaces `path` with it in
    // one rename, so a failure leaves either the old or the new file, never a half-written one.
    virtual bool ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) = 0;
    // Deletes `path` only when it really is inside `within`: reached from there through no link, so
    // that what is deleted is the entry of that name in that folder and nothing a link leads to.
    virtual RemoveResult RemoveFile(const std::string& path, const std::string& within) = 0;
    // Removes one folder, and only when it is empty and reached from `within` through no link; false
    // otherwise.
    virtual bool RemoveEmptyFolder(const std::string& path, const std::string& within) = 0;
    virtual std::optional<std::string> SpecialFolderPath(SpecialFolder folder) = 0;
    // A string value of a key under HKEY_LOCAL_MACHINE in one view; nothing when the key or value is
    // missing.
    virtual std::optional<std::string> ReadMachineString(RegistryView view, const std::string& keyPath,
                                                         const std::string& name) = 0;
    // Deletes a key under HKEY_LOCAL_MACHINE in one view; true when it is gone (or was never there).
    virtual bool DeleteMachineKey(RegistryView view, const std::string& path) = 0;
    virtual void Sleep(unsigned milliseconds) = 0;

    // A Yes/No question; true for Yes.
    virtual bool Confirm(const std::string& text, const std::string& caption) = 0;
    // A message with an OK button; `error` picks the warning icon.
    virtual void Tell(const std::string& text, const std::string& caption, bool error) = 0;
};

}  // namespace kv::uninstall
