// The main dialog's two pieces of arithmetic: the progress step and the minimised icon's place.
#pragma once

namespace kv::ui {

// Positions one progress step adds on a bar of 0 to 100: 100 / fileCount + 1, integer division.
// A manifest without file records makes no step (0) rather than dividing by zero.
constexpr int ProgressStep(int fileCount) { return fileCount > 0 ? 100 / fileCount + 1 : 0; }

// Where the icon goes along one axis of a minimised window's client area: (client - icon + 1) / 2,
// truncated towards zero like C++ signed division, so a client narrower than the icon gives 0 or less.
constexpr int MinimisedIconOffset(int clientExtent, int iconExtent) { return (clientExtent - iconExtent + 1) / 2; }

}  // namespace kv::ui
