// Whether the computer has a working network connection, for the outputs
// that send beyond it.
#pragma once

namespace kelvane {

// True when some network interface other than the loopback is up and
// running (on Windows, when the system says a network is alive).
bool NetworkIsUp();

}  // namespace kelvane
