// The start of a request, the same in both programs once the request is read.
#pragma once
#include <string>

#include "platform/output.h"
#include "request/request.h"

enum class Start { get, post, no_method, no_content_type };

// How a request starts: its kind, or its answer when it is answered already.
struct Started {
    Start kind = Start::no_method;
    reply::Refusal answer;
};

// Sorts the request by its method. A GET request goes on as it is; a POST
// request has its body taken in (take_body), and a refused body is answered
// here with its refusal ("Data was not URL encoded.", "Invalid Input") and
// status 1. Any other method is answered with no reply (leave_unanswered).
// A request without a method, or a POST without a content type, is left to
// the program, which answers it in its own way.
Started start_request(Request& r);

// The answer to a request that the program does not answer: no reply.
// The exit status is the sign of the method's byte comparison with "POST":
// -1 (255 for the server) for methods that sort before it, such as "GET" or
// "HEAD", and 1 for the others, such as "PUT". Servers log that status, and
// it is the one these requests have always ended with, so it is kept.
reply::Done leave_unanswered(const std::string& method);
