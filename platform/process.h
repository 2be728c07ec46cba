// Starting an outside program and waiting for it.
#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace process {

// The value of an environment variable; nothing when it is not set.
std::optional<std::string> environment(const char* name);

// The environment of this run ("NAME=value" entries) without the variables
// whose names `drop` picks.
std::vector<std::string> environment_without(bool (*drop)(std::string_view name));

// Starts `program` directly (no shell) with `args` as its whole argument list
// (args[0] included): its standard input from `input_fd` (/dev/null when -1),
// its standard output on /dev/null when `quiet_output` and inherited
// otherwise, its standard error inherited; its environment is `environment`
// when given, this run's otherwise. Returns 0 with `pid` set when it
// started, otherwise the errno of the failed start.
int start(const std::string& program, const std::vector<std::string>& args, int input_fd, bool quiet_output,
          pid_t& pid, const std::vector<std::string>* environment = nullptr);

// Waits for `pid` to end, going on after interruptions; false (with errno
// set) when it cannot be waited for.
bool wait_for(pid_t pid, int& status);

// Starts `program` with `environment` as its whole environment and its
// standard input and output on /dev/null, and waits for it to end. Returns 0
// when it started, otherwise the errno of the failed start. Its exit status
// is not looked at.
int run_and_wait(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment);

}  // namespace process
