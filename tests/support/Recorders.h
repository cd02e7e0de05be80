// Test doubles that record what the core shows and sends.
#pragma once

#include "MessageBoxes.h"
#include "ReceiverView.h"
#include "SentenceSink.h"

#include <map>
#include <string>
#include <vector>

namespace kelvane::test {

class RecordingView : public ReceiverView {
public:
    void SetCaption(Counter label, const std::string& text) override { Captions[label] = text; }
    void SetLevel(int value) override { Levels.push_back(value); }
    bool IsHidden() const override { return Hidden; }
    void SetTrayTip(const std::string& text) override { TrayTips.push_back(text); }

    std::string Caption(Counter label) const
    {
        const auto found = Captions.find(label);
        return found == Captions.end() ? std::string() : found->second;
    }

    std::map<Counter, std::string> Captions;
    std::vector<int> Levels;
    std::vector<std::string> TrayTips;
    bool Hidden = false;
};

struct ShownMessage {
    std::string text;
    MessageIcon icon;
    std::string title;
};

class RecordingMessages : public MessageBoxes {
public:
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override
    {
        Shown.push_back({text, icon, title});
    }
    std::vector<ShownMessage> Shown;
};

class RecordingSink : public SentenceSink {
public:
    void Deliver(std::string_view block) override { Blocks.emplace_back(block); }
    void DeliverMessage(std::string_view block, std::span<const int32_t>, const MessageOrigin& origin) override
    {
        Origins.push_back(origin);
        Deliver(block);
    }
    std::string All() const
    {
        std::string all;
        for (const std::string& b : Blocks)
            all += b;
        return all;
    }
    std::vector<std::string> Blocks;
    std::vector<MessageOrigin> Origins;  // of the blocks that came with their message
};

}  // namespace kelvane::test
