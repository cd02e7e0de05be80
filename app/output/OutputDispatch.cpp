#include "OutputDispatch.h"

namespace kelvane {

void OutputDispatch::Deliver(std::string_view block)
{
    const std::string tagged = Ports.WithTagBlocks(block);
    const std::string_view logged = tagged.empty() ? block : std::string_view(tagged);
    if (Mirror)
        Mirror(logged);
    if (Ports.LogChecked())
        Ports.WriteLog(logged);
    if (Ports.SerialChecked()) {
        const int32_t written = Ports.WritePort(block);
        if (written != static_cast<int32_t>(block.size()))
            Messages.Show("Unable to write to " + Ports.PortName() + "!\r\nWrote " +
                          std::to_string(written) + " of " + std::to_string(block.size()));
    }
    if (Ports.UdpActive())
        Ports.SendUdp(logged);
    Ports.SendTcp(logged);
}

}  // namespace kelvane
