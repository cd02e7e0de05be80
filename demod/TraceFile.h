// Where the demodulator's bit-level trace goes.
#pragma once

#include <cstdio>

namespace brinecore {

// Deletes the trace file of that name in the trace folder and opens it
// afresh for appending, creating the folder when missing. Returns nullptr
// when that is impossible; tracing to the file is then skipped.
std::FILE* OpenTraceFile(const char* fileName);

}  // namespace brinecore
