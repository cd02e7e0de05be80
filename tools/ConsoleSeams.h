// kelvane-decode's stand-ins for the window: messages on standard error,
// outputs chosen on the command line.
#pragma once

#include "DecodeOptions.h"
#include "MessageBoxes.h"
#include "OutputControl.h"
#include "ReceiverView.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace kelvane {

class ConsoleView : public ReceiverView {
public:
    void SetCaption(Counter, const std::string&) override {}
    void SetLevel(int) override {}
    bool IsHidden() const override { return false; }
    void SetTrayTip(const std::string&) override {}
};

class ConsoleMessages : public MessageBoxes {
public:
    void Show(const std::string& text, MessageIcon, const std::string&) override
    {
        std::fprintf(stderr, "kelvane-decode: %s\n", text.c_str());
    }
};

// The outputs as the command line set them up.
class ConsoleOutputOptions : public OutputOptionsView {
public:
    explicit ConsoleOutputOptions(const DecodeOptions& options)
        : Options(options), Serial(options.UseSerial), Log(options.UseLog),
          TcpServer(!options.TcpServer.empty()), TcpClient(!options.TcpClient.empty()),
          Tags(!options.StationName.empty())
    {
    }
    bool SerialChecked() const override { return Serial; }
    void SetSerialChecked(bool checked) override { Serial = checked; }
    std::string PortText() const override { return Options.SerialPort; }
    std::string PortSettings() const override { return Options.SerialSettings; }
    bool LogChecked() const override { return Log; }
    void SetLogChecked(bool checked) override { Log = checked; }
    std::string LogPath() const override { return Options.LogPath; }
    bool PushChecked() const override { return Options.UseUdp; }
    std::string IPPortText() const override { return Options.UdpList; }
    void SetIPPortEnabled(bool) override {}
    bool TcpServerChecked() const override { return TcpServer; }
    void SetTcpServerChecked(bool checked) override { TcpServer = checked; }
    std::string TcpServerText() const override { return Options.TcpServer; }
    bool TcpClientChecked() const override { return TcpClient; }
    void SetTcpClientChecked(bool checked) override { TcpClient = checked; }
    std::string TcpClientText() const override { return Options.TcpClient; }
    bool TagBlocksChecked() const override { return Tags; }
    void SetTagBlocksChecked(bool checked) override { Tags = checked; }
    std::string StationNameText() const override { return Options.StationName; }
    // A headless station's journal shows who came and went.
    void ShowTcpClients(size_t, const std::string& event) override
    {
        std::fprintf(stderr, "kelvane-decode: TCP server: %s\n", event.c_str());
    }
    void ShowTcpClientState(bool connected, const std::string& why) override
    {
        std::fprintf(stderr, "kelvane-decode: TCP %s: %s\n", Options.TcpClient.c_str(),
                     connected ? "connected" : ("waiting (" + why + ")").c_str());
    }
    // The window's red box lasts a second; here one line a second at most.
    void ShowUdpFailure() override
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - LastFailure < std::chrono::seconds(1))
            return;
        LastFailure = now;
        std::fprintf(stderr, "kelvane-decode: a UDP datagram could not be sent\n");
    }

private:
    const DecodeOptions& Options;
    bool Serial;
    bool Log;
    bool TcpServer;
    bool TcpClient;
    bool Tags;
    std::chrono::steady_clock::time_point LastFailure{};
};

}  // namespace kelvane
