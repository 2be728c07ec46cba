#include "platform/process.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

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

std::vector<std::string> environment_without(bool (*drop)(std::string_view name)) {
    std::vector<std::string> kept;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        if (!drop(text.substr(0, text.find('=')))) kept.emplace_back(text);
    }
    return kept;
}

int run_and_wait(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment) {
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(environment);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return ENOMEM;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

    pid_t pid = 0;
    // glibc reports a failed exec of the child as the return value here.
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return rc;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return 0;
}

}  // namespace process
