// The serial settings text parser on arbitrary text.
#include "output/SerialPort.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto settings = kelvane::ParseSerialSettings(text);
    if (settings && (settings->BaudRate <= 0 || settings->DataBits < 5 || settings->DataBits > 8))
        std::abort();
    return 0;
}
