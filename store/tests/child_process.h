#pragma once
// A child process of the tests with pipes to its standard input and output: lines are read
// with a bounded wait, and the child is stopped by its own PID.

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace store::test {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& args) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        pid_ = fork();
        if (pid_ < 0) throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            std::vector<char*> argv;
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        CloseInput();
        if (stdout_ >= 0) close(stdout_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }

    void WriteLine(const std::string& line) {
        std::string s = line + "\n";
        if (write(stdin_, s.data(), s.size()) != static_cast<ssize_t>(s.size()))
            throw std::runtime_error("write to child failed");
    }
    void CloseInput() {
        if (stdin_ >= 0) close(stdin_);
        stdin_ = -1;
    }

    // Returns the next line, or false at end of output or when timeoutMs passes first.
    bool ReadLine(std::string& line, int timeoutMs = 20000) {
        for (;;) {
            size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return true;
            }
            pollfd p{stdout_, POLLIN, 0};
            int r = poll(&p, 1, timeoutMs);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            char buf[4096];
            ssize_t n = read(stdout_, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            buffer_.append(buf, static_cast<size_t>(n));
        }
    }

    // Waits for the child to end; returns its wait status.
    int Wait() {
        int status = 0;
        if (pid_ > 0) {
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
            status_ = status;
        }
        return status_;
    }
    void Kill() {
        if (pid_ > 0) kill(pid_, SIGKILL);
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    int status_ = 0;
    std::string buffer_;
};

} // namespace store::test
