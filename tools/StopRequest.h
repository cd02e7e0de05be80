// Ending a live decode the way the system asks a console program to stop,
// so that it still closes its outputs and prints its summary: SIGINT or
// SIGTERM on Linux; Ctrl+C, Ctrl+Break, its console window closing, logoff
// or shutdown on Windows.
#pragma once

namespace kelvane {

// From now on a request to stop sets StopRequested instead of ending the
// process.
void CatchStopRequests();
bool StopRequested();
// The summary is out. On Windows a closing console (or a shutdown) ends the
// process as soon as its handler returns; the handler waits for this.
void StopHandled();

}  // namespace kelvane
