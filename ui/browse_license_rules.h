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
// size in pixels. It is deliberately not mapped from the placeholder's own position: the text sits
// a few pixels inside the black frame on the left and reaches two pixels past it on the right and
// bottom, which the frame's one-unit margin absorbs.
constexpr TextRect LicenseTextRect(int placeholderWidth, int placeholderHeight) {
    return TextRect{5, 2, placeholderWidth + 2, placeholderHeight + 2};
}

}  // namespace kv::ui
