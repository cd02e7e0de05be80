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
    // With pipeInput, the test writes the program's standard input.
    BackgroundProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& environment = {}, bool pipeInput = false);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    // Sends the signal and waits for the end (at most timeoutMs, then kills).
    ProgramResult Stop(int signal, int timeoutMs = 10000);
    // Closes the input and waits for the program to end by itself.
    ProgramResult Finish(int timeoutMs = 60000);

    bool WriteInput(const void* data, size_t size);
    void CloseInput();
    // What the program has written to standard output (error) so far.
    std::string OutputSoFar() const;
    std::string ErrorSoFar() const;

private:
    std::string Dir;
    int Pid = -1;
    int Input = -1;
};

}  // namespace kelvane::test
