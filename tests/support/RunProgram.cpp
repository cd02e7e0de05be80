#include "support/RunProgram.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kelvane::test {

namespace {

std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& inputFile)
{
    char pattern[] = "/tmp/kelvane-run-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    const std::filesystem::path dir = pattern;
    const std::string outPath = (dir / "out").string();
    const std::string errPath = (dir / "err").string();
    const std::string inPath = inputFile.empty() ? "/dev/null" : inputFile;

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = open(inPath.c_str(), O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0)
            _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ProgramResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = Slurp(outPath);
    result.err = Slurp(errPath);
    std::filesystem::remove_all(dir);
    return result;
}

}  // namespace kelvane::test

#include <chrono>
#include <csignal>
#include <thread>

namespace kelvane::test {

BackgroundProgram::BackgroundProgram(const std::string& program,
                                     const std::vector<std::string>& args,
                                     const std::vector<std::string>& environment, bool pipeInput)
{
    std::signal(SIGPIPE, SIG_IGN);  // a program that ended early must not end the test
    int pipeEnds[2] = {-1, -1};
    // Close-on-exec, so that programs started later do not hold this one's
    // input open (it would never see its end).
    if (pipeInput && pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    char pattern[] = "/tmp/kelvane-bg-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    Dir = pattern;
    const std::string outPath = Dir + "/out";
    const std::string errPath = Dir + "/err";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    Pid = fork();
    if (Pid < 0)
        throw std::runtime_error("fork failed");
    if (Pid == 0) {
        for (const std::string& variable : environment)
            putenv(const_cast<char*>(variable.c_str()));
        const int in = pipeInput ? pipeEnds[0] : open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (pipeInput)
            close(pipeEnds[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (pipeInput) {
        close(pipeEnds[0]);
        Input = pipeEnds[1];
    }
}

bool BackgroundProgram::WriteInput(const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0 && Input >= 0) {
        const ssize_t n = write(Input, bytes, size);
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return size == 0;
}

void BackgroundProgram::CloseInput()
{
    if (Input >= 0)
        close(Input);
    Input = -1;
}

std::string BackgroundProgram::OutputSoFar() const { return Slurp(Dir + "/out"); }

std::string BackgroundProgram::ErrorSoFar() const { return Slurp(Dir + "/err"); }

ProgramResult BackgroundProgram::Finish(int timeoutMs)
{
    CloseInput();
    return Stop(0, timeoutMs);
}

ProgramResult BackgroundProgram::Stop(int signal, int timeoutMs)
{
    ProgramResult result;
    CloseInput();
    if (Pid > 0) {
        if (signal != 0)
            kill(Pid, signal);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (waitpid(Pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(Pid, SIGKILL);
                waitpid(Pid, &status, 0);
                result.err = "[killed after the time-out]\n";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        Pid = -1;
    }
    result.out = Slurp(Dir + "/out");
    result.err += Slurp(Dir + "/err");
    return result;
}

BackgroundProgram::~BackgroundProgram()
{
    if (Pid > 0)
        Stop(SIGKILL, 1000);
    std::filesystem::remove_all(Dir);
}

}  // namespace kelvane::test
