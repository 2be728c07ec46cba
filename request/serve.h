// How a program serves: one CGI request per run, or, started on a listening
// socket, one FastCGI request after another in one long-lived process. Both
// ways read the request into a Request and call the program's request
// function once per request.
#pragma once
#include <functional>

#include "platform/output.h"
#include "request/request.h"

// A program's whole request: the reply and its status, nothing left over.
using Answer = std::function<reply::Reply(Request&)>;

// Serves the program whose command line is `argc`, `argv`. As CGI: reads
// the request from the command line, environment and standard input,
// writes the reply to standard output and returns its status. On a
// listening socket: answers every FastCGI request, each with the program
// path of `argv` and its own parameters and body, its reply written to the
// request and its status sent as the request's application status (the
// exit status a CGI run would have, 0 to 255); returns 0 when no more
// requests can come.
int serve(int argc, char** argv, const Answer& answer);
