// The window's seams for the benchmarks: nothing shown, nothing asked.
#pragma once

#include "MessageBoxes.h"
#include "ReceiverView.h"

#include <cstdio>
#include <string>

namespace kelvane::bench {

class NullView : public ReceiverView {
public:
    void SetCaption(Counter, const std::string&) override {}
    void SetLevel(int) override {}
    bool IsHidden() const override { return false; }
    void SetTrayTip(const std::string&) override {}
};

// A message (a missing library, say) is printed: a benchmark must not hide it.
class PrintedMessages : public MessageBoxes {
public:
    void Show(const std::string& text, MessageIcon, const std::string&) override
    {
        std::printf("message: %s\n", text.c_str());
    }
};

}  // namespace kelvane::bench
