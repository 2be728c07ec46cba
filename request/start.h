// The start of a request, the same in both programs once the request is read.
#pragma once
#include <string>

#include "request/request.h"

enum class Start { get, post, no_method, no_content_type };

// Sorts the request by its method. A GET request goes on as it is; a POST
// request has its body taken in (take_body), and a refused body ends the run
// here with its refusal ("Data was not URL encoded.", "Invalid Input") and
// status 1. Any other method ends the run with no reply (end_unanswered).
// A request without a method, or a POST without a content type, is left to
// the program, which answers it in its own way.
Start start_request_or_end(Request& r);

// Ends the run of a request that the program does not answer, with no reply.
// The exit status is the sign of the method's byte comparison with "POST":
// -1 (255 for the server) for methods that sort before it, such as "GET" or
// "HEAD", and 1 for the others, such as "PUT". Servers log that status, and
// it is the one these requests have always ended with, so it is kept.
[[noreturn]] void end_unanswered(const std::string& method);
