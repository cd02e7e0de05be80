#include "support/AisPayload.h"

#include "support/SignalGenerator.h"

#include <stdexcept>
#include <string>

namespace kelvane::test {

std::vector<uint8_t> ArmouredToBits(std::string_view payload, int fillBits)
{
    std::vector<uint8_t> bits;
    for (char c : payload) {
        int value = static_cast<unsigned char>(c) - 48;
        if (value > 40)
            value -= 8;
        if (value < 0 || value > 63)
            throw std::invalid_argument("not a payload character: " + std::string(1, c));
        for (int i = 5; i >= 0; --i)
            bits.push_back(static_cast<uint8_t>((value >> i) & 1));
    }
    if (fillBits < 0 || static_cast<size_t>(fillBits) > bits.size())
        throw std::invalid_argument("bad fill bit count");
    bits.resize(bits.size() - static_cast<size_t>(fillBits));
    return bits;
}

std::vector<uint8_t> ArmouredToOctets(std::string_view payload, int fillBits)
{
    return PackBits(ArmouredToBits(payload, fillBits));
}

}  // namespace kelvane::test
