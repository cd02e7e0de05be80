// Where the demodulator's bit-level trace goes.
#pragma once

#include <cstdio>

namespace brinecore {

// Deletes the trace file and opens it afresh for appending, creating its
// folder when missing. Returns nullptr when that is impossible; tracing to
// the file is then skipped.
std::FILE* OpenTraceFile();

}  // namespace brinecore
