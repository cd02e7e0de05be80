// The settings load on an arbitrary stored file: every value read as the
// window reads it, an error only as a numbered SettingsError.
#include "shell/IniSettingsStore.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static const std::string folder = "/tmp/kelvane-fuzz-settings-" + std::to_string(getpid());
    static const bool made = std::filesystem::create_directories(folder) || std::filesystem::is_directory(folder);
    if (!made)
        return 0;
    std::FILE* file = std::fopen((folder + "/Kelvane.ini").c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    kelvane::IniSettingsStore store(folder);
    for (const char* value :
         {"LogFileName", "ComPortNumber", "ComBaudRate", "SoundDeviceNumber", "SamplesPerSecond",
          "EnableSerial", "EnableLogfile", "EnableIPLogging", "IPPort", "EnableStartMin",
          "MainTop", "MainLeft"}) {
        try {
            const std::string text = store.ReadRegSetting("Kelvane", "Settings", value, "0");
            (void)kelvane::LeadingNumber(text);
            bool flag = false;
            (void)kelvane::ParseFlag(text, flag);
        } catch (const kelvane::SettingsError& error) {
            if (error.Number >= 0)
                std::abort();
        }
    }
    return 0;
}
