// kelvane-decode's stand-ins for the window: messages on standard error,
// outputs chosen on the command line.
#pragma once

#include "DecodeOptions.h"
#include "MessageBoxes.h"
#include "OutputControl.h"
#include "AisDecoder.h"
#include "AisJson.h"
#include "ReceiverView.h"
#include "SentenceSink.h"

#include <chrono>
#include <cmath>
#include <optional>
#include <vector>
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

// --json: each message as one JSON object on standard output, gpsd's field
// names and the program's own (channel, signal level).
class JsonPrinter : public SentenceSink {
public:
    void Deliver(std::string_view) override {}
    void DeliverMessage(std::string_view, std::span<const int32_t> messageBits,
                        const MessageOrigin& origin) override
    {
        if (!On)
            return;
        const std::optional<AisRecord> message = DecodeAisMessage(messageBits);
        if (!message)
            return;  // too short to name its sender
        std::vector<AisField> extras;
        if (origin.Channel != RadioChannel::Unknown)
            extras.push_back({"channel", std::string(1, static_cast<char>(origin.Channel))});
        if (!std::isnan(origin.LevelDb))
            extras.push_back({"signal_db", AisReal{origin.LevelDb, 1}});
        if (!std::isnan(origin.SnrDb))
            extras.push_back({"snr_db", AisReal{origin.SnrDb, 1}});
        const std::string line = AisToJson(*message, extras) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
    bool On = false;
};

}  // namespace kelvane
