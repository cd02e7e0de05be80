// A pair of connected pseudo-terminals made by socat: a serial line to test
// against, whose far end the test reads.
#pragma once

#include <string>
#include <sys/types.h>

namespace kelvane::test {

class PtyPair {
public:
    PtyPair();  // throws when socat cannot make the pair
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& Near() const { return NearPath; }  // for the program
    const std::string& Far() const { return FarPath; }    // for the test

    // Reads from the far end until count bytes came or timeoutMs passed.
    std::string ReadFar(size_t count, int timeoutMs = 5000);
    // Closes the far end and ends socat: the line is gone.
    void Vanish();

private:
    std::string Dir;
    std::string NearPath;
    std::string FarPath;
    pid_t Socat = -1;
    int FarFd = -1;
};

}  // namespace kelvane::test
