// The serial ports and sound devices the window offers.
#include "shell/frmGMSK.h"

#include "output/SerialPort.h"
#include "shell/WindowCommon.h"

#include <QCheckBox>
#include <QComboBox>

#include <algorithm>
#include <vector>

namespace kelvane {

using namespace shell;

void frmGMSK::FillPortList()
{
    // Serial ports: the devices the system lists, by name.
    const std::vector<std::string> ports = SerialPort::ListPorts();
    for (const std::string& port : ports) {
        cbPort->addItem(Q(port));
        if (port == ComPortNumber)
            cbPort->setCurrentIndex(cbPort->count() - 1);
    }
    if (ports.empty()) {
        cbPort->addItem("None");
        ComPortNumber = "None";
        cbSerial->setChecked(false);
        cbSerial->setEnabled(false);
    }
    if (std::find(ports.begin(), ports.end(), ComPortNumber) == ports.end())
        cbPort->setCurrentIndex(0);  // the saved port is gone: the first one

    cbBaud->addItem("4800");
    cbBaud->addItem("38400");
    if (ComBaudRate == 0)
        ComBaudRate = 38400;
    const QString baud = QString::number(ComBaudRate);
    if (cbBaud->findText(baud) < 0)
        cbBaud->addItem(baud);  // a speed kept from an edited store
    cbBaud->setCurrentIndex(cbBaud->findText(baud));
}

void frmGMSK::FillDeviceList()
{
    const std::vector<std::string> devices = Capture.InputDeviceNames();
    const auto deviceCount = static_cast<int32_t>(devices.size());
    if (SoundDeviceNumber < 0 || SoundDeviceNumber > deviceCount - 1)
        SoundDeviceNumber = 0;
    if (deviceCount > 0) {
        for (int32_t i = 0; i < deviceCount; ++i)
            SoundDevice->addItem(Q(StripAtNul(devices[static_cast<size_t>(i)])));
        SoundDevice->setCurrentIndex(SoundDeviceNumber);
    } else {
        SoundDevice->addItem("Device not found.");
        SoundDevice->setCurrentIndex(0);
    }
}

}  // namespace kelvane
