// Monitoring from the sound card: start, the 250 ms capture timer, stop.
#include "window/frmGMSK.h"

namespace kelvane {

using C = Control;

void frmGMSK::cmdStartMonitoring_Click()
{
    if (!MonitoringActive)
        StartMonitoring();
    else if (Dispatching)
        StopAfterDispatch = true;  // never close the capture under a dispatch
    else
        StopMonitoring();
}

void frmGMSK::StartMonitoring()
{
    Core.OpenOutputs(ChosenOutputs());
    if (View.SelectedIndex(C::SoundDevice) >= 0)
        SoundDeviceNumber = View.SelectedIndex(C::SoundDevice);
    if (!Capture.OpenWaveIn(SampleRate, SoundDeviceNumber, Receivers)) {
        CloseOutputs();
        Messages.Show("Start Monitoring Failed!");
        return;
    }
    // The built-in receiver initialises at the first buffer; the library
    // is re-initialised now.
    Core.Start(Capture.CaptureFormat(), ChosenReceiver());
    View.SetEnabled(C::cmdReplay, false);
    ClearCounters();
    View.StartTimer(WindowTimer::Timer, 250);
    View.SetText(C::cmdStartMonitoring, "Stop Monitoring");
    EnableSettings(false);
    MonitoringActive = true;
}

void frmGMSK::CloseOutputs()
{
    Core.CloseOutputs();
    // The network outputs' state belongs to the run.
    View.SetText(C::lblTcpClients, "");
    View.SetText(C::lblTcpClientState, "");
}

void frmGMSK::StopMonitoring()
{
    // The burst demodulator's last bursts still reach the outputs.
    Core.Finish();
    CloseOutputs();
    Capture.CloseWaveIn();
    View.StopTimer(WindowTimer::Timer);
    View.SetText(C::cmdStartMonitoring, "Start Monitoring");
    MonitoringActive = false;
    View.SetEnabled(C::cmdReplay, true);
    EnableSettings(true);
}

void frmGMSK::Timer_Timer()
{
    if (Dispatching)
        return;  // one dispatch at a time
    Dispatching = true;
    Core.CaptureTick(Capture, [this] { View.ProcessEvents(); });
    Dispatching = false;
    if (StopAfterDispatch) {
        StopAfterDispatch = false;
        if (MonitoringActive)
            StopMonitoring();
    }
    if (CloseAfterDispatch) {
        CloseAfterDispatch = false;
        View.CloseWindow();
    }
}

}  // namespace kelvane
