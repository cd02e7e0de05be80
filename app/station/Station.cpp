#include "station/Station.h"

#include <utility>

namespace kelvane {

Station::Station(StationEvents& events, std::function<bool()> networkAlive)
    : Events(events), Sentences(Count, *this), Frames(Count, Sentences, events),
      Chain(Frames, Library),
      Outputs(events, [this](std::function<void()> event) { Post(std::move(event)); },
              std::move(networkAlive))
{
    Count.Changed = [this](Counter counter) { Events.CounterChanged(counter, Count); };
    Chain.TraceText = [this](std::string_view text) {
        if (TraceText)
            TraceText(text);
    };
}

Station::~Station()
{
    Outputs.Close();
}

void Station::OpenOutputs(const OutputSettings& settings) { Outputs.Open(settings); }

void Station::CloseOutputs()
{
    Outputs.Close();
    // What the network outputs said while closing still reaches the front end.
    DeliverEvents();
}

void Station::Start(const AudioFormat& format, const ReceiverSettings& receiver)
{
    Chain.SwapChannels = receiver.SwapChannels;
    Chain.BurstRepair = receiver.BurstRepair;
    Frames.StartStream();
    if (const std::string problem = Chain.Start(format, receiver.Demod, receiver.TraceFlag);
        !problem.empty())
        Events.Show(problem, MessageIcon::Exclamation, {});
}

void Station::ProcessBlock(std::span<const uint8_t> block)
{
    Chain.ProcessBlock(block);
    Frames.ShowLevel();
}

void Station::Finish() { Chain.Finish(); }

void Station::CaptureTick(SoundCapture& capture, const std::function<void()>& betweenBuffers)
{
    const int32_t filled = capture.FilledBuffers();
    if (filled >= CaptureRingSize)
        Count.AddOverrun();
    if (filled > 0)
        capture.DispatchFilledBuffers([this](std::span<const uint8_t> block) { ProcessBlock(block); },
                                      [&] {
                                          DeliverEvents();
                                          betweenBuffers();
                                      });
}

void Station::Deliver(std::string_view block) { Outputs.Deliver(block); }

void Station::DeliverMessage(std::string_view block, std::span<const int32_t> messageBits,
                             const MessageOrigin& origin)
{
    const std::string logged = Outputs.Deliver(block);
    Events.MessageDecoded({block, logged, messageBits, origin});
}

void Station::Post(std::function<void()> event)
{
    {
        const std::lock_guard lock(WaitingLock);
        Waiting.push_back(std::move(event));
    }
    if (EventsWaiting)
        EventsWaiting();
}

void Station::DeliverEvents()
{
    // One delivery at a time, in the order the events came, whichever
    // thread a front end delivers them on.
    const std::lock_guard delivering(DeliveringLock);
    std::vector<std::function<void()>> due;
    {
        const std::lock_guard lock(WaitingLock);
        due.swap(Waiting);
    }
    for (const auto& event : due)
        event();
}

}  // namespace kelvane
