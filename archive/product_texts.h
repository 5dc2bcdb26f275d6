// The product's own texts that kvpack puts into a built installer's string table, by id, and the
// marks by which kvpack knows this project's programs. Plain defines, since the resource compiler
// reads this file too.
#pragma once

// Ids 1 to 8 share the string table's first block. A program without them shows its own texts.
#define KV_TEXT_CAPTION 1      // the main dialog's caption
#define KV_TEXT_COPYRIGHT 2    // the main dialog's last line
#define KV_TEXT_VENDOR_WORD 3  // the word in "Make sure all ... files are closed"
#define KV_TEXT_SUPPORT 4      // the support address the missing-archive message ends with
#define KV_TEXT_PUBLISHER 5    // Apps & Features: Publisher
#define KV_TEXT_VERSION 6      // Apps & Features: DisplayVersion, VersionMajor, VersionMinor
#define KV_TEXT_URL 7          // Apps & Features: URLInfoAbout
#define KV_TEXT_HELP_LINK 8    // Apps & Features: HelpLink
#define KV_TEXT_COUNT 8

// In the second block: what the program is, so that kvpack refuses any other program as stub or
// uninstaller.
#define KV_TEXT_PROGRAM_MARK 16
#define KV_INSTALLER_MARK "Korvalin installer program"
#define KV_UNINSTALLER_MARK "Korvalin uninstaller program"
