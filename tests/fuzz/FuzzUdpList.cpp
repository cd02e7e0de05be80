// The UDP destination list parser on arbitrary text.
#include "output/UdpTargets.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto destinations = kelvane::ParseUdpDestinations(text);
    if (!destinations)
        return 0;
    if (text.empty() != destinations->empty())
        std::abort();
    for (const kelvane::UdpDestination& d : *destinations)
        if (d.Port < 1000 || d.Port > 65000 || d.Host.find(':') != std::string::npos ||
            d.Host.find(',') != std::string::npos)
            std::abort();
    return 0;
}
