#include "platform/workers.h"

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "common/numbers.h"
#include "platform/process.h"

namespace workers {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

sigset_t keeper_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGCHLD);
    for (int s : kStopSignals) sigaddset(&set, s);
    return set;
}

// A worker: the signals the keeper waits for are its own again.
[[noreturn]] void work(const std::function<int()>& serve, const sigset_t& blocked) {
    sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
    _exit(serve() & 0xff);
}

}  // namespace

unsigned wanted() {
    const auto text = process::environment("TAVRA_FASTCGI_WORKERS");
    if (!text) return 1;
    const int n = read_integer(*text);
    return n >= 1 && n <= static_cast<int>(kMost) ? static_cast<unsigned>(n) : 1;
}

int run(unsigned count, const std::function<int()>& serve) {
    if (count <= 1) return serve();
    const sigset_t blocked = keeper_signals();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &blocked, &before);

    std::set<pid_t> running;
    bool stopping = false;
    time_t last_restart = 0;
    const auto start_one = [&] {
        const pid_t pid = fork();
        if (pid == 0) work(serve, blocked);
        if (pid > 0) running.insert(pid);
    };
    for (unsigned i = 0; i < count; ++i) start_one();

    while (!running.empty()) {
        siginfo_t info;
        const int got = sigwaitinfo(&blocked, &info);
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (got != SIGCHLD) {
            if (!stopping)
                for (pid_t pid : running) kill(pid, SIGTERM);
            stopping = true;
            continue;
        }
        int status = 0;
        for (pid_t pid; (pid = waitpid(-1, &status, WNOHANG)) > 0;) {
            running.erase(pid);
            const bool ended_well = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            if (stopping || ended_well) continue;
            // A worker that failed is replaced, but a fault that ends every
            // worker at once does not make the keeper spin.
            const time_t now = time(nullptr);
            if (now == last_restart) sleep(1);
            last_restart = time(nullptr);
            start_one();
        }
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    return 0;
}

}  // namespace workers
