// Answers a request of tavra or ship inside the test process, the way the
// program's main does it, without starting the program: for the tests of a
// command's logic, which then need no process of their own.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace in_process {

// The request of `program` ("tavra" or "ship") whose command line is `args`
// (the program's path, then the query words), whose CGI variables are `env`
// and whose body is `body`, answered by the program's request function in
// the working folder `dir`, as the server starts a CGI run there (relative
// paths of the configuration are taken from it): the reply's bytes in
// Reply::out and the status a run would exit with (0 to 255) in
// Reply::status. Files the request creates are private, as the programs make
// them. One request at a time: the request pieces keep state of their
// process while a request is answered, and the folder and the mask of new
// files are the process's.
Reply answer(const std::string& program, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& env, const std::string& body, const std::string& dir);

}  // namespace in_process
