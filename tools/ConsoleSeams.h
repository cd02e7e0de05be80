// kelvane-decode's stand-ins for the window: messages on standard error,
// outputs chosen on the command line, sentences on standard output.
#pragma once

#include "DecodeOptions.h"
#include "MessageBoxes.h"
#include "OutputControl.h"
#include "ReceiverView.h"
#include "SentenceSink.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace kelvane {

class ConsoleView : public ReceiverView {
public:
    void SetCaption(CounterLabel, const std::string&) override {}
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
        : Options(options), Serial(options.UseSerial), Log(options.UseLog)
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
    std::chrono::steady_clock::time_point LastFailure{};
};

// Standard output (unless quiet), then the chosen outputs.
class ConsoleSink : public SentenceSink {
public:
    ConsoleSink(bool quiet, SentenceSink& outputs) : Quiet(quiet), Outputs(outputs) {}
    void Deliver(std::string_view block) override
    {
        if (!Quiet) {
            // Flushed per message, so that a reader sees each at once.
            std::fwrite(block.data(), 1, block.size(), stdout);
            std::fflush(stdout);
        }
        Outputs.Deliver(block);
    }

private:
    bool Quiet;
    SentenceSink& Outputs;
};

}  // namespace kelvane
