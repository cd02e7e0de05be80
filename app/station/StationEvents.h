// What the station tells its front end: a window turns these into captions,
// check boxes and message boxes, kelvane-decode into lines on standard error
// and standard output. Every call comes on the thread that delivers the
// events: the front end's own, unless it chooses to have the network
// thread deliver them (see Station::EventsWaiting).
#pragma once

#include "core/MessageBoxes.h"
#include "core/MessageOrigin.h"
#include "core/ReceiveCounters.h"
#include "station/OutputSettings.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The level bar spans 128 (the midline) to 255; lower peaks are not reported.
inline constexpr int32_t LevelMinimum = 128;

// A message to the user, as a message box shows it.
struct UserMessage {
    std::string Text;
    MessageIcon Icon = MessageIcon::None;
    std::string Title;  // "" for the program's own
};

// An output that could not open: it is off for the rest of the run.
struct OutputFailure {
    OutputKind Output;
    // The window's messages, in the order it shows them.
    std::vector<UserMessage> Messages;
    // The same in one line for a terminal or a journal: what failed and the
    // system's reason, without advice about a window's controls.
    std::string Problem;
};

// One decoded message as the outputs got it.
struct DecodedMessage {
    std::string_view Sentences;  // its SentenceBlock
    std::string_view Logged;     // the same with tag blocks where they are on
    std::span<const int32_t> Bits;  // MessageBits
    MessageOrigin Origin;
};

class StationEvents : public MessageBoxes {
public:
    // Show (from MessageBoxes): a message to the user, such as a library
    // that would not load or a serial write that fell short.

    // An output failed to open. By default its messages are shown in turn.
    virtual void OutputFailed(const OutputFailure& failure)
    {
        for (const UserMessage& m : failure.Messages)
            Show(m.Text, m.Icon, m.Title);
    }
    // A UDP datagram could not be sent.
    virtual void UdpSendFailed() {}
    // The TCP server's clients: how many, and what happened ("listening on
    // 10110", "127.0.0.1:50432 connected").
    virtual void TcpServerClients(size_t count, const std::string& event)
    {
        (void)count;
        (void)event;
    }
    // The push target was reached or lost, and why.
    virtual void TcpClientState(bool connected, const std::string& why)
    {
        (void)connected;
        (void)why;
    }
    // One of the counters went up.
    virtual void CounterChanged(Counter counter, const ReceiveCounters& counters)
    {
        (void)counter;
        (void)counters;
    }
    // The input level of the last block, LevelMinimum to 255.
    virtual void LevelChanged(int32_t level) { (void)level; }
    // A message reached the outputs.
    virtual void MessageDecoded(const DecodedMessage& message) { (void)message; }
};

}  // namespace kelvane
