#pragma once
// varnox-panel-sim as a child process: started with arguments, its first
// stdout line (the pseudo-terminal's path) read within a deadline, stopped by
// a signal, its exit status and stderr collected. A child still running when
// the helper goes is killed.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace varnox::testing {

class PanelSimProcess {
public:
    // Starts the program; Path() is empty when it did not print one within 10 s.
    explicit PanelSimProcess(const std::vector<std::string>& args)
    {
        char stderr_template[] = "/tmp/varnox-panel-sim-stderr-XXXXXX";
        const int stderr_fd = ::mkstemp(stderr_template);
        stderr_path_ = stderr_template;
        int out[2];
        if (stderr_fd < 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, stderr_fd, STDERR_FILENO);
        std::vector<std::string> argv_text = {VARNOX_PANEL_SIM};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : argv_text)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, VARNOX_PANEL_SIM, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(stderr_fd);
        stdout_ = out[0];
        if (pid_ > 0)
            path_ = ReadLine(10000);
    }

    ~PanelSimProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0)
            ::close(stdout_);
        ::unlink(stderr_path_.c_str());
    }
    PanelSimProcess(const PanelSimProcess&) = delete;
    PanelSimProcess& operator=(const PanelSimProcess&) = delete;

    const std::string& Path() const { return path_; }
    // The next line of stdout (a port announced after a dropout); empty
    // when none comes within `timeout_ms`.
    std::string NextLine(int timeout_ms) { return ReadLine(timeout_ms); }

    void Signal(int signal) const
    {
        if (pid_ > 0)
            ::kill(pid_, signal);
    }

    // The exit status once the program has ended within `timeout_ms`;
    // nullopt when it is still running or did not exit normally.
    std::optional<int> Wait(int timeout_ms)
    {
        if (pid_ <= 0)
            return std::nullopt;
        int status = 0;
        pid_t ended = 0;
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        if (pidfd >= 0) {
            pollfd fd = {pidfd, POLLIN, 0};
            ::poll(&fd, 1, timeout_ms);
            ::close(pidfd);
            ended = ::waitpid(pid_, &status, WNOHANG);
        } else {
            // Kernels without pidfd: look every 20 ms.
            for (int waited = 0; (ended = ::waitpid(pid_, &status, WNOHANG)) == 0 && waited < timeout_ms;
                 waited += 20)
                ::usleep(20000);
        }
        if (ended != pid_)
            return std::nullopt;
        pid_ = -1;
        if (!WIFEXITED(status))
            return std::nullopt;
        return WEXITSTATUS(status);
    }

    std::string Stderr() const
    {
        std::ifstream file(stderr_path_);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    std::string ReadLine(int timeout_ms)
    {
        std::string line;
        for (;;) {
            pollfd fd = {stdout_, POLLIN, 0};
            if (::poll(&fd, 1, timeout_ms) <= 0)
                return {};
            char c = 0;
            if (::read(stdout_, &c, 1) != 1)
                return {};
            if (c == '\n')
                return line;
            line += c;
        }
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string path_;
    std::string stderr_path_;
};

}  // namespace varnox::testing
