// Starting an outside program and waiting for it.
#pragma once
#include <string>
#include <vector>

namespace process {

// Starts `program` directly (no shell) with `args` as its whole argument
// list (args[0] included), its standard input and output on /dev/null and its
// standard error inherited, and waits for it to end. Returns 0 when it
// started, otherwise the errno of the failed start. Its exit status is not
// looked at.
int run_and_wait(const std::string& program, const std::vector<std::string>& args);

}  // namespace process
