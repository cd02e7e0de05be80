#include "OutputControl.h"

#include <cerrno>
#include <cstring>

namespace kelvane {

OutputControl::OutputControl(OutputOptionsView& view, MessageBoxes& messages,
                             OutputSettings& settings, std::function<bool()> networkAlive)
    : Serial(messages), Udp(std::move(networkAlive)), View(view), Messages(messages),
      Settings(settings)
{
    Udp.OnSendFailure = [this](const UdpDestination&) { View.ShowUdpFailure(); };
}

void OutputControl::WriteLog(std::string_view block)
{
    if (Log.WriteLog(block) || LogFailureShown)
        return;
    LogFailureShown = true;
    Messages.Show("Unable to write to log file at " + View.LogPath() + "! " + std::strerror(errno),
                  MessageIcon::Exclamation);
}

void OutputControl::OpenOutputs()
{
    LogFailureShown = false;
    // Each output is tried whatever became of the one before.
    if (View.SerialChecked()) {
        const std::string port = View.PortText();
        if (!Serial.OpenPort(port, View.PortSettings())) {
            Messages.Show("Unable to open " + port + "!");
            View.SetSerialChecked(false);
        }
    }
    if (View.LogChecked()) {
        const std::string path = View.LogPath();
        if (!Log.OpenLog(path)) {
            Messages.Show("Unable to open log file at " + path + "!");
            View.SetLogChecked(false);
        }
    }
    if (Settings.EnableIPLogging) {
        Udp.UdpActive = Udp.OpenUdpTargets(View.IPPortText());
        if (!Udp.UdpActive)
            Messages.Show("Invalid IP:Port values specified!");
    }
}

void OutputControl::CloseOutputs()
{
    // Whatever is open is closed, so that nothing outlives the run even if
    // a box changed under it.
    Serial.ClosePort();
    Log.CloseLog();
    Udp.CloseUdpTargets();
}

void OutputControl::cbSerial_Click() { Settings.EnableSerial = View.SerialChecked(); }

void OutputControl::cbLogfile_Click() { Settings.EnableLogfile = View.LogChecked(); }

void OutputControl::cbPush_Click()
{
    Settings.EnableIPLogging = View.PushChecked();
    View.SetIPPortEnabled(Settings.EnableIPLogging);
}

}  // namespace kelvane
