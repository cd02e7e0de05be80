// Runs a program of this project as a user would, for end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace kelvane::test {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program with the arguments; standard input comes from inputFile
// when given, else /dev/null.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& inputFile = {});

}  // namespace kelvane::test

namespace kelvane::test {

// A program running beside the test, its output going to files.
class BackgroundProgram {
public:
    BackgroundProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& environment = {});
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    // Sends the signal and waits for the end (at most timeoutMs, then kills).
    ProgramResult Stop(int signal, int timeoutMs = 10000);

private:
    std::string Dir;
    int Pid = -1;
};

}  // namespace kelvane::test
