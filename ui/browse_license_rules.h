// Two small rules of the folder browser and the licence dialog, kept free of Windows headers so
// they are tested natively: the preselected folder's form and the licence text's rectangle.
#pragma once

#include <string>

namespace kv::ui {

// The folder the browser is asked to preselect: the typed folder without one trailing backslash
// (C:\Tools\ becomes C:\Tools, C:\ becomes C:). The shell finds no folder named with the backslash.
inline std::string FolderForPreselection(std::string folder) {
    if (!folder.empty() && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder;
}

struct TextRect {
    int left;
    int top;
    int right;
    int bottom;
};

// The licence text's rectangle in the dialog's client coordinates, from the placeholder's client
// size in pixels and the window's DPI. It is deliberately not mapped from the placeholder's own
// position: the text sits a few pixels inside the black frame on the left and reaches two pixels
// past it on the right and bottom, which the frame's one-unit margin absorbs. Those margins are
// pixels at 96 DPI and grow with the DPI, as the dialog itself does.
constexpr TextRect LicenseTextRect(int placeholderWidth, int placeholderHeight, int dpi = 96) {
    const auto scaled = [dpi](int pixels) { return (pixels * dpi + 48) / 96; };
    return TextRect{scaled(5), scaled(2), placeholderWidth + scaled(2), placeholderHeight + scaled(2)};
}

}  // namespace kv::ui
