#pragma once
// A child process the test can watch while it runs: started without a
// shell, its output written to files, stopped by any signal the test
// chooses, and reaped with its peak memory. For the tests that kill a run
// half way or need to know how much memory it took.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace plyvet::test {

class ChildProcess {
public:
    struct Options {
        std::vector<std::pair<std::string, std::string>> env;  // set or replace these variables
        std::filesystem::path stdoutFile;                     // empty: /dev/null
        std::filesystem::path stderrFile;                     // empty: /dev/null
        bool stdinPipe = false;                               // else stdin is /dev/null
    };

    struct Exit {
        int code = -1;         // exit status, -1 when ended by a signal
        int signal = 0;        // the signal that ended it, 0 when it exited
        bool timedOut = false; // killed by wait() after its timeout
        long maxRssKiB = 0;    // peak resident memory
    };

    // Starts argv[0] (a path) with the given arguments. Throws std::system_error when it cannot start.
    ChildProcess(const std::vector<std::string>& argv, const Options& options);
    // A child still running is killed and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    void signal(int sig);
    // Closes the child's stdin (stdinPipe): it reads the end of its input.
    void closeStdin();
    // Waits for the end, killing the child with SIGKILL after `timeout`.
    Exit wait(std::chrono::milliseconds timeout = std::chrono::minutes(2));

private:
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    bool reaped_ = false;
    Exit exit_;
};

}  // namespace plyvet::test
