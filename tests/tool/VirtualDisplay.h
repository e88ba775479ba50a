// An X server of its own for a test (Xvfb, 1280 x 1024 at 24 bits): started with -displayfd, so
// it picks a free display number and names it once it accepts clients; stopped with the object.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace quarvo_test {

class VirtualDisplay {
public:
    VirtualDisplay() {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) {
            throw std::runtime_error("cannot make a pipe for Xvfb");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // The write end is handed over as descriptor 3 (dup2 clears its close-on-exec flag).
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> arguments{QUARVO_XVFB, "-displayfd", "3", "-screen", "0", "1280x1024x24",
                                           "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&m_pid, QUARVO_XVFB, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            m_pid = 0;
        }
        close(ready[1]);
        std::string number;
        char c = 0;
        while (spawned == 0 && read(ready[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(ready[0]);
        if (spawned != 0 || number.empty()) {
            Stop();
            throw std::runtime_error(std::string("Xvfb did not start: ") + QUARVO_XVFB);
        }
        m_name = ":" + number;
    }
    ~VirtualDisplay() { Stop(); }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // The value for DISPLAY.
    const std::string& Name() const { return m_name; }

private:
    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = 0;
        }
    }

    pid_t m_pid = 0;
    std::string m_name;
};

}  // namespace quarvo_test
