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
