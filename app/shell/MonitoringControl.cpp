// Monitoring from the sound card: start, the 250 ms capture timer, stop.
#include "frmGMSK.h"

#include "WindowCommon.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace kelvane {

using namespace shell;

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
    OutputsControl.OpenOutputs();
    if (SoundDevice->currentIndex() >= 0)
        SoundDeviceNumber = SoundDevice->currentIndex();
    if (!Capture.OpenWaveIn(SampleRate, SoundDeviceNumber, Receivers)) {
        CloseOutputs();
        Messages.Show("Start Monitoring Failed!");
        return;
    }
    // The built-in receiver initialises at the first buffer; the library
    // is re-initialised now.
    Chain.SwapChannels = SwapAB;
    Chain.Start(Capture.CaptureFormat(), ChosenDemodulator(), DemodTrace);
    cmdReplay->setEnabled(false);
    ClearCounters();
    Timer->setInterval(250);
    Timer->start();
    cmdStartMonitoring->setText("Stop Monitoring");
    EnableSettings(false);
    MonitoringActive = true;
}

void frmGMSK::CloseOutputs()
{
    OutputsControl.CloseOutputs();
    // The network outputs' state belongs to the run.
    lblTcpClients->clear();
    lblTcpClientState->clear();
}

void frmGMSK::StopMonitoring()
{
    // The burst demodulator's last bursts still reach the outputs.
    Chain.Finish();
    CloseOutputs();
    Capture.CloseWaveIn();
    Timer->stop();
    cmdStartMonitoring->setText("Start Monitoring");
    MonitoringActive = false;
    cmdReplay->setEnabled(true);
    EnableSettings(true);
}

void frmGMSK::Timer_Timer()
{
    if (Dispatching)
        return;  // one dispatch at a time
    Dispatching = true;
    // Between buffers the window stays alive, and shows what the network
    // outputs reported.
    CaptureTick(Capture, Chain, [this] {
        QCoreApplication::processEvents();
        OutputsControl.DeliverEvents();
    });
    OutputsControl.DeliverEvents();
    Dispatching = false;
    if (StopAfterDispatch) {
        StopAfterDispatch = false;
        if (MonitoringActive)
            StopMonitoring();
    }
    if (CloseAfterDispatch) {
        CloseAfterDispatch = false;
        close();
    }
}

}  // namespace kelvane
