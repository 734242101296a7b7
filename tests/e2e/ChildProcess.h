#pragma once

// A program run by a test as a process of its own, its standard output on a pipe, in a
// folder the test made for it.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace processtest {

using Clock = std::chrono::steady_clock;

// A program started with its standard output on a pipe, on the offscreen platform, with
// the "NAME=VALUE" entries added to its environment.
class Child {
public:
    Child(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
          const std::vector<std::string>& environment = {})
    {
        int fds[2];
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe failed");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            if (chdir(folder.c_str()) != 0)
                _exit(127);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            for (const std::string& entry : environment)
                putenv(const_cast<char*>(entry.c_str()));
            std::vector<char*> argv;
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~Child()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Reads standard output until it holds the text; false after the deadline.
    bool waitFor(const std::string& text, std::chrono::milliseconds limit)
    {
        const auto deadline = Clock::now() + limit;
        while (output.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd readable{out_, POLLIN, 0};
            if (left <= 0 || poll(&readable, 1, static_cast<int>(left)) <= 0)
                return false;
            char buffer[512];
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            output.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    void signal(int number) { kill(pid_, number); }
    int console() const { return out_; }

    // The exit status, or -1 when it did not exit normally within the limit. Standard output
    // is read meanwhile, unless the test plays a reader that stopped reading.
    int wait(std::chrono::milliseconds limit, bool reading = true)
    {
        const auto deadline = Clock::now() + limit;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline)
                return -1;
            if (reading)
                waitFor("\x01", std::chrono::milliseconds(20));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string output;

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

class Folder {
public:
    Folder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrix-process-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~Folder() { std::filesystem::remove_all(path); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::filesystem::path path;
};

}  // namespace processtest
