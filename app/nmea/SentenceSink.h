// Where the sentences of each decoded message go.
#pragma once

#include "core/MessageOrigin.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace kelvane {

class SentenceSink {
public:
    virtual ~SentenceSink() = default;
    // One message's SentenceBlock: all its sentences, each ending CR LF.
    virtual void Deliver(std::string_view block) = 0;
    // The same with the message's bits (MessageBits) and origin, for what
    // looks inside a message (the vessel list, JSON); only the block by
    // default.
    virtual void DeliverMessage(std::string_view block, std::span<const int32_t> messageBits,
                                const MessageOrigin& origin)
    {
        (void)messageBits;
        (void)origin;
        Deliver(block);
    }
};

}  // namespace kelvane
