// kelvane-soak: hours of generated AIS traffic, made on the fly at 48000
// samples per second and streamed as a WAV through `kelvane-decode -` at
// full speed. Every message is distinct (its MMSI is its number), so the
// check is exact: each one delivered once, none lost, none twice. The
// decoder's resident memory is read after the first hour and at the end and
// must not grow.
//
//   kelvane-soak [--hours H] [--demod library|builtin|burst] [--decoder PATH]
#include "support/AisPayload.h"
#include "support/SignalGenerator.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using kelvane::test::RenderOptions;
using kelvane::test::SignalGenerator;

constexpr int Rate = 48000;

// A type 1 position report whose MMSI is the message's number, with the
// other fields drawn at random so that every bit pattern gets its turn.
std::vector<uint8_t> Message(uint32_t number, std::mt19937& random)
{
    std::vector<uint8_t> bits(168);
    auto put = [&](size_t start, size_t length, uint64_t value) {
        for (size_t i = 0; i < length; ++i)
            bits[start + i] = static_cast<uint8_t>((value >> (length - 1 - i)) & 1);
    };
    put(0, 6, 1);
    put(8, 30, number);
    for (size_t i = 38; i < 168; ++i)
        bits[i] = static_cast<uint8_t>(random() & 1);
    return kelvane::test::PackBits(bits);
}

long ResidentKilobytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    double hours = 24;
    std::string demod = "library";
    std::string decoder = KELVANE_DECODE;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--hours" && i + 1 < argc)
            hours = std::atof(argv[++i]);
        else if (arg == "--demod" && i + 1 < argc)
            demod = argv[++i];
        else if (arg == "--builtin")
            demod = "builtin";
        else if (arg == "--decoder" && i + 1 < argc)
            decoder = argv[++i];
        else {
            std::fprintf(stderr, "usage: kelvane-soak [--hours H] [--demod library|builtin|burst] "
                                 "[--decoder PATH]\n");
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);

    int toDecoder[2];
    int fromDecoder[2];
    if (pipe(toDecoder) != 0 || pipe(fromDecoder) != 0)
        return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toDecoder[0], 0);
        dup2(fromDecoder[1], 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        close(toDecoder[1]);
        close(fromDecoder[0]);
        execl(decoder.c_str(), decoder.c_str(), "--demod", demod.c_str(), "-",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toDecoder[0]);
    close(fromDecoder[1]);

    // Sentences come back on another thread, so that neither pipe fills.
    std::vector<uint32_t> received;
    std::atomic<size_t> receivedCount{0};
    bool malformed = false;
    std::thread reader([&] {
        std::string pending;
        char buffer[65536];
        for (ssize_t n; (n = read(fromDecoder[0], buffer, sizeof buffer)) > 0;) {
            pending.append(buffer, static_cast<size_t>(n));
            for (size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                const size_t payloadStart = line.find(",,,") + 3;
                const size_t payloadEnd = line.find(',', payloadStart);
                try {
                    const auto bits = kelvane::test::ArmouredToBits(
                        line.substr(payloadStart, payloadEnd - payloadStart));
                    uint32_t mmsi = 0;
                    for (size_t i = 8; i < 38; ++i)
                        mmsi = mmsi << 1 | bits.at(i);
                    received.push_back(mmsi);
                    ++receivedCount;
                } catch (const std::exception&) {
                    malformed = true;
                }
            }
        }
    });

    // A WAV header for a stream: its sizes are unknown, so read to the end.
    const uint8_t header[44] = {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E',
                                'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0,
                                Rate & 0xFF, (Rate >> 8) & 0xFF, 0, 0, Rate & 0xFF, (Rate >> 8) & 0xFF, 0, 0,
                                1, 0, 8, 0, 'd', 'a', 't', 'a', 0xFF, 0xFF, 0xFF, 0xFF};
    bool ok = WriteAll(toDecoder[1], header, sizeof header);

    std::mt19937 random(2026);
    std::uniform_real_distribution<double> gap(0.05, 0.4);
    const double total = hours * 3600;
    double done = 0;
    uint32_t sent = 0;
    long firstHourKb = -1;
    // Memory is read after the first hour, or a quarter of a shorter run.
    const double firstMark = std::min(3600.0, total / 4);
    const auto started = std::chrono::steady_clock::now();
    while (ok && done < total) {
        // Ten seconds at a time, each piece ending in silence.
        RenderOptions render;
        render.sampleRate = Rate;
        render.noiseRms = 2;
        render.seed = sent + 1;
        render.invert = (sent & 1) != 0;
        SignalGenerator gen(render);
        while (gen.Duration() < 9.9) {
            gen.AddSilence(gap(random));
            gen.AddTransmission(Message(++sent, random), {.trainingStartsWithOne = (random() & 1) != 0});
        }
        gen.AddSilence(0.05);
        const std::vector<uint8_t> samples = gen.Render();
        ok = WriteAll(toDecoder[1], samples.data(), samples.size());
        const double before = done;
        done += static_cast<double>(samples.size()) / Rate;
        if (before < firstMark && done >= firstMark) {
            // Let the decoder catch up before reading its memory.
            while (receivedCount < sent - 50 && ResidentKilobytes(pid) > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            firstHourKb = ResidentKilobytes(pid);
        }
        if (static_cast<long>(done) / 3600 != static_cast<long>(before) / 3600)
            std::fprintf(stderr, "kelvane-soak: %.0f h of audio, %u messages sent\n", done / 3600, sent);
    }
    // A second of quiet pushes the last samples through the decoder's
    // blocks; then every message must be back.
    const std::vector<uint8_t> quiet(Rate, 128);
    ok = ok && WriteAll(toDecoder[1], quiet.data(), quiet.size());
    const auto waitUntil = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (receivedCount < sent && std::chrono::steady_clock::now() < waitUntil &&
           ResidentKilobytes(pid) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const long lastKb = ResidentKilobytes(pid);
    close(toDecoder[1]);
    reader.join();
    int status = 0;
    waitpid(pid, &status, 0);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;

    std::vector<int> seen(sent + 1, 0);
    size_t strangers = 0;
    for (uint32_t mmsi : received) {
        if (mmsi >= 1 && mmsi <= sent)
            ++seen[mmsi];
        else
            ++strangers;
    }
    size_t missing = 0;
    size_t doubled = 0;
    for (uint32_t m = 1; m <= sent; ++m) {
        missing += seen[m] == 0 ? 1 : 0;
        doubled += seen[m] > 1 ? 1 : 0;
    }
    std::printf("kelvane-soak: %.1f h of audio at %d Hz through %s, %s path, in %.0f s\n", done / 3600,
                Rate, decoder.c_str(), demod.c_str(), elapsed.count());
    std::printf("  %u messages sent, %zu received: %zu missing, %zu twice, %zu unknown%s\n", sent,
                received.size(), missing, doubled, strangers, malformed ? ", malformed lines" : "");
    if (firstHourKb > 0)
        std::printf("  decoder resident memory: %ld kB after %.2f h, %ld kB at the end\n",
                    firstHourKb, firstMark / 3600, lastKb);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer holds freed memory back, so resident memory grows in
    // its build whatever the program does; there delivery is what is checked.
    const bool memoryFlat = true;
#else
    const bool memoryFlat = firstHourKb < 0 || lastKb - firstHourKb < 1024;
#endif
    const bool exact = ok && missing == 0 && doubled == 0 && strangers == 0 && !malformed;
    const bool exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!exact || !memoryFlat || !exited) {
        std::printf("kelvane-soak: FAILED%s%s%s\n", exact ? "" : " (delivery)",
                    memoryFlat ? "" : " (memory grew)", exited ? "" : " (decoder failed)");
        return 1;
    }
    std::printf("kelvane-soak: passed\n");
    return 0;
}
