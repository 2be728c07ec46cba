#include "platform/process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace process {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

int start(const std::string& program, const std::vector<std::string>& args, int input_fd, bool quiet_output,
          pid_t& pid) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return ENOMEM;
    if (input_fd < 0) posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    else posix_spawn_file_actions_adddup2(&actions, input_fd, STDIN_FILENO);
    if (quiet_output) posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    // glibc reports a failed exec of the child as the return value here.
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

bool wait_for(pid_t pid, int& status) {
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return true;
}

int run_and_wait(const std::string& program, const std::vector<std::string>& args) {
    pid_t pid = 0;
    const int rc = start(program, args, -1, true, pid);
    if (rc != 0) return rc;
    int status = 0;
    wait_for(pid, status);
    return 0;
}

}  // namespace process
