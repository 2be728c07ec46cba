// Starting an outside program and waiting for it.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace process {

// The environment of this run ("NAME=value" entries) without the variables
// whose names `drop` picks.
std::vector<std::string> environment_without(bool (*drop)(std::string_view name));

// Starts `program` directly (no shell) with `args` as its whole argument
// list (args[0] included) and `environment` as its whole environment, its
// standard input and output on /dev/null and its standard error inherited,
// and waits for it to end. Returns 0 when it started, otherwise the errno of
// the failed start. Its exit status is not looked at.
int run_and_wait(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment);

}  // namespace process
