#include "StopRequest.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace kelvane {

namespace {

std::atomic<bool> Requested{false};

#ifdef _WIN32

HANDLE Finished = nullptr;

// On a thread the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    Requested = true;
    // Ctrl+C and Ctrl+Break only ask. For the others the process ends when
    // this returns: it returns once the summary is out (or when the system
    // stops waiting, after a few seconds).
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && Finished != nullptr)
        WaitForSingleObject(Finished, INFINITE);
    return TRUE;
}

#else

extern "C" void OnSignal(int) { Requested = true; }

#endif

}  // namespace

void CatchStopRequests()
{
#ifdef _WIN32
    Finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
#endif
}

bool StopRequested() { return Requested; }

void StopHandled()
{
#ifdef _WIN32
    if (Finished != nullptr)
        SetEvent(Finished);
#endif
}

}  // namespace kelvane
