// The main window's layout, for every toolkit: its frames and controls, their
// captions and their places in twips (15 to a pixel), each control's place
// measured from its frame's corner.
#pragma once

#include "window/WindowView.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvane {

enum class ControlKind { Frame, Label, Button, CheckBox, OptionButton, DropDown, TextBox, LevelBar };

struct TwipRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

struct LaidOut {
    ControlKind Kind;
    std::optional<Control> Name;  // none for frames and fixed captions
    const char* Caption;
    int Frame;                    // index of its frame in the layout; -1 for a frame
    TwipRect Place;
    bool Hidden = false;          // at start
};

// The window's inner size in twips.
inline constexpr int WindowWidthTwips = 6990;
inline constexpr int WindowHeightTwips = 8445;
// The longest station name a tag block takes.
inline constexpr int StationNameLength = 15;

// Frames first, each followed by its controls.
std::span<const LaidOut> MainWindowLayout();
// A control's place in the window, in pixels.
TwipRect PixelPlace(const LaidOut& item);
// The items of the Receivers list.
std::vector<std::string> ReceiverChoices();

}  // namespace kelvane
