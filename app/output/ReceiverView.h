// What the receive chain shows on the window: counter captions, the input
// level bar and the tray tooltip. The window implements it; tests and the
// command-line decoder use their own.
#pragma once

#include <string>

namespace kelvane {

// What the window shows a caption for.
enum class Counter {
    PreSyncs,
    Syncs,
    Valid,
    Errors,
    Overruns,
    ValidPercent,
    ErrorPercent,
    Types123,
    Type5,
    Types1819,
    Type24,
    OtherTypes,
    ValidPerChannel,  // "A / B", with two receivers
};

// The level bar spans 128 (the midline) to 255; lower peaks are not shown.
inline constexpr int LevelMinimum = 128;

class ReceiverView {
public:
    virtual ~ReceiverView() = default;
    virtual void SetCaption(Counter counter, const std::string& text) = 0;
    virtual void SetLevel(int value) = 0;
    // True while the window sits in the tray.
    virtual bool IsHidden() const = 0;
    virtual void SetTrayTip(const std::string& text) = 0;
};

}  // namespace kelvane
