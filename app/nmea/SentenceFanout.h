// One message to several sinks, in order: the outputs first, then what looks
// inside the messages (the vessel list, JSON).
#pragma once

#include "nmea/SentenceSink.h"

#include <initializer_list>
#include <vector>

namespace kelvane {

class SentenceFanout : public SentenceSink {
public:
    SentenceFanout(std::initializer_list<SentenceSink*> sinks) : Sinks(sinks) {}
    void Deliver(std::string_view block) override
    {
        for (SentenceSink* sink : Sinks)
            sink->Deliver(block);
    }
    void DeliverMessage(std::string_view block, std::span<const int32_t> messageBits,
                        const MessageOrigin& origin) override
    {
        for (SentenceSink* sink : Sinks)
            sink->DeliverMessage(block, messageBits, origin);
    }

private:
    std::vector<SentenceSink*> Sinks;
};

}  // namespace kelvane
