// The serial ports and sound devices the window offers.
#include "window/frmGMSK.h"

#include "output/SerialPort.h"

#include <algorithm>
#include <vector>

namespace kelvane {

using C = Control;

void frmGMSK::FillPortList()
{
    // Serial ports: the devices the system lists, by name.
    const std::vector<std::string> ports = SerialPort::ListPorts();
    for (const std::string& port : ports) {
        View.AddItem(C::cbPort, port);
        if (port == ComPortNumber)
            View.SetSelectedIndex(C::cbPort, View.ItemCount(C::cbPort) - 1);
    }
    if (ports.empty()) {
        View.AddItem(C::cbPort, "None");
        ComPortNumber = "None";
        View.SetChecked(C::cbSerial, false);
        View.SetEnabled(C::cbSerial, false);
    }
    if (std::find(ports.begin(), ports.end(), ComPortNumber) == ports.end())
        View.SetSelectedIndex(C::cbPort, 0);  // the saved port is gone: the first one

    View.AddItem(C::cbBaud, "4800");
    View.AddItem(C::cbBaud, "38400");
    if (ComBaudRate == 0)
        ComBaudRate = 38400;
    const std::string baud = std::to_string(ComBaudRate);
    if (View.FindItem(C::cbBaud, baud) < 0)
        View.AddItem(C::cbBaud, baud);  // a speed kept from an edited store
    View.SetSelectedIndex(C::cbBaud, View.FindItem(C::cbBaud, baud));
}

void frmGMSK::FillDeviceList()
{
    const std::vector<std::string> devices = Capture.InputDeviceNames();
    const auto deviceCount = static_cast<int32_t>(devices.size());
    if (SoundDeviceNumber < 0 || SoundDeviceNumber > deviceCount - 1)
        SoundDeviceNumber = 0;
    if (deviceCount > 0) {
        for (int32_t i = 0; i < deviceCount; ++i)
            View.AddItem(C::SoundDevice, StripAtNul(devices[static_cast<size_t>(i)]));
        View.SetSelectedIndex(C::SoundDevice, SoundDeviceNumber);
    } else {
        View.AddItem(C::SoundDevice, "Device not found.");
        View.SetSelectedIndex(C::SoundDevice, 0);
    }
}

}  // namespace kelvane
