// What the receive chain shows on the window: counter captions, the input
// level bar and the tray tooltip. The window implements it; tests and the
// command-line decoder use their own.
#pragma once

#include <string>

namespace kelvane {

// The window's count labels, by their control names.
enum class CounterLabel {
    lblPreSyncs,
    lblSyncs,
    lblValid,
    lblErrors,
    lblOverruns,
    lblVPct,
    lblEPct,
    lbl123,
    lbl5,
    lbl1819,
    lbl21,  // counts messages of type 24
    lblOther,
    lblValidAB,  // valid frames per channel, "A / B", with two receivers
};

// The level bar spans 128 (the midline) to 255; lower peaks are not shown.
inline constexpr int LevelMinimum = 128;

class ReceiverView {
public:
    virtual ~ReceiverView() = default;
    virtual void SetCaption(CounterLabel label, const std::string& text) = 0;
    virtual void SetLevel(int value) = 0;
    // True while the window sits in the tray.
    virtual bool IsHidden() const = 0;
    virtual void SetTrayTip(const std::string& text) = 0;
};

}  // namespace kelvane
