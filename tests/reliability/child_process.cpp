#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <system_error>
#include <thread>

extern char** environ;

namespace plyvet::test {

namespace {

[[noreturn]] void throwErrno(int rc, const char* what) { throw std::system_error(rc, std::generic_category(), what); }

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
    if (argv.empty()) throw std::invalid_argument("ChildProcess: empty argument list");
    std::map<std::string, std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const auto eq = entry.find('=');
        if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : options.env) env[k] = v;
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : env) envStrings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args(argv);
    std::vector<char*> argp;
    for (auto& s : args) argp.push_back(s.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (int rc = posix_spawn_file_actions_init(&actions); rc != 0) throwErrno(rc, "posix_spawn_file_actions_init");
    int pipeFds[2] = {-1, -1};
    if (options.stdinPipe) {
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) throwErrno(errno, "pipe2");
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    const std::string out = options.stdoutFile.empty() ? "/dev/null" : options.stdoutFile.string();
    const std::string err = options.stderrFile.empty() ? "/dev/null" : options.stderrFile.string();
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int rc = posix_spawn(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (options.stdinPipe) {
        ::close(pipeFds[0]);
        stdinFd_ = pipeFds[1];
    }
    if (rc != 0) {
        if (stdinFd_ >= 0) ::close(stdinFd_);
        throwErrno(rc, "posix_spawn");
    }
}

ChildProcess::~ChildProcess() {
    if (stdinFd_ >= 0) ::close(stdinFd_);
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool ChildProcess::running() {
    if (reaped_) return false;
    int status = 0;
    rusage usage{};
    const pid_t r = ::wait4(pid_, &status, WNOHANG, &usage);
    if (r == pid_) {
        reaped_ = true;
        exit_.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        exit_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        exit_.maxRssKiB = usage.ru_maxrss;
        return false;
    }
    return true;
}

void ChildProcess::signal(int sig) {
    if (!reaped_) ::kill(pid_, sig);
}

void ChildProcess::closeStdin() {
    if (stdinFd_ >= 0) {
        ::close(stdinFd_);
        stdinFd_ = -1;
    }
}

ChildProcess::Exit ChildProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            exit_.timedOut = true;
            while (running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exit_;
}

}  // namespace plyvet::test
