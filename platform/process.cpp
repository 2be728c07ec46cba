#include "platform/process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace process {

namespace {

// The entries as exec takes them: pointers into the strings, then a null.
std::vector<char*> pointers(const std::vector<std::string>& entries) {
    std::vector<char*> list;
    list.reserve(entries.size() + 1);
    for (const std::string& e : entries) list.push_back(const_cast<char*>(e.c_str()));
    list.push_back(nullptr);
    return list;
}

}  // namespace

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

std::vector<std::string> environment_without(bool (*drop)(std::string_view name)) {
    std::vector<std::string> kept;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        if (!drop(text.substr(0, text.find('=')))) kept.emplace_back(text);
    }
    return kept;
}

int start(const std::string& program, const std::vector<std::string>& args, int input_fd, bool quiet_output,
          pid_t& pid, const std::vector<std::string>* environment) {
    // A program that is not there fails as its start would, without a
    // child process made only to find that out.
    struct stat st {};
    if (::stat(program.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) return errno;
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp;
    if (environment) envp = pointers(*environment);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return ENOMEM;
    if (input_fd < 0) posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    else posix_spawn_file_actions_adddup2(&actions, input_fd, STDIN_FILENO);
    if (quiet_output) posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    // glibc reports a failed exec of the child as the return value here.
    const int rc =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environment ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

bool wait_for(pid_t pid, int& status) {
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return true;
}

int run_and_wait(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment) {
    pid_t pid = 0;
    const int rc = start(program, args, -1, true, pid, &environment);
    if (rc != 0) return rc;
    int status = 0;
    wait_for(pid, status);
    return 0;
}

}  // namespace process
