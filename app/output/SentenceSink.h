// Where the sentences of each decoded message go.
#pragma once

#include <string_view>

namespace kelvane {

class SentenceSink {
public:
    virtual ~SentenceSink() = default;
    // One message's SentenceBlock: all its sentences, each ending CR LF.
    virtual void Deliver(std::string_view block) = 0;
};

}  // namespace kelvane
