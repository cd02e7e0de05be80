// Writes a recording whose stations send texts a page must show as text,
// never as markup: a ship's name that is an element with a script in it (a
// type 5 name holds 20 characters), an aid to navigation's longer one (34),
// a call sign of quotes and ampersands, a destination that closes a table
// cell.
//   web_test_recording OUT.wav
#include "support/MessageBits.h"
#include "support/SignalGenerator.h"

#include <cstdio>
#include <exception>

using namespace kelvane::test;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: web_test_recording OUT.wav\n");
        return 2;
    }
    try {
        SignalGenerator generator;
        generator.AddSilence(0.1);
        const std::vector<std::vector<int32_t>> messages = {
            StaticVoyage(257000001, "<SVG ONLOAD=ALERT()>", "\"&'<>", "</TD><SCRIPT>"),
            PositionReport(257000001, 60.40, 5.30, 11.5, 200, 195),
            AidToNavigation(992576001, "<IMG SRC=X ONERROR=ALERT(1)>", 60.37, 5.27),
        };
        for (const auto& bits : messages) {
            generator.AddTransmission(MessageOctets(bits));
            generator.AddSilence(0.05);
        }
        WriteWav(argv[1], generator.Render(), 48000);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "web_test_recording: %s\n", error.what());
        return 1;
    }
    return 0;
}
