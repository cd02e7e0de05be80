// A front end that records what the station tells it, for tests.
#pragma once

#include "station/StationEvents.h"

#include <string>
#include <vector>

namespace kelvane::test {

struct ShownMessage {
    std::string text;
    MessageIcon icon;
    std::string title;
};

class RecordingEvents : public StationEvents {
public:
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override
    {
        Shown.push_back({text, icon, title});
    }
    void OutputFailed(const OutputFailure& failure) override
    {
        Failures.push_back(failure);
        StationEvents::OutputFailed(failure);
    }
    void UdpSendFailed() override { ++UdpFailures; }
    void TcpServerClients(size_t count, const std::string& event) override
    {
        ClientCounts.push_back(count);
        ServerEvents.push_back(event);
    }
    void TcpClientState(bool connected, const std::string& why) override
    {
        ClientStates.push_back((connected ? "connected: " : "waiting: ") + why);
    }
    void CounterChanged(Counter counter, const ReceiveCounters&) override { Changed.push_back(counter); }
    void LevelChanged(int32_t level) override { Levels.push_back(level); }
    void MessageDecoded(const DecodedMessage& message) override
    {
        Blocks.emplace_back(message.Sentences);
        Logged.emplace_back(message.Logged);
        Origins.push_back(message.Origin);
    }

    // Every block, as the outputs got them.
    std::string All() const
    {
        std::string all;
        for (const std::string& b : Blocks)
            all += b;
        return all;
    }

    std::vector<ShownMessage> Shown;
    std::vector<OutputFailure> Failures;
    int UdpFailures = 0;
    std::vector<size_t> ClientCounts;
    std::vector<std::string> ServerEvents;
    std::vector<std::string> ClientStates;
    std::vector<Counter> Changed;
    std::vector<int32_t> Levels;
    std::vector<std::string> Blocks;
    std::vector<std::string> Logged;
    std::vector<MessageOrigin> Origins;
};

}  // namespace kelvane::test
