#include "request/start.h"

#include "platform/output.h"

Start start_request_or_end(Request& r) {
    if (!r.method) return Start::no_method;
    const std::string& method = *r.method;
    if (method == "GET") return Start::get;
    if (method != "POST") end_unanswered(method);
    const BodyIntake taken = take_body(r.form);
    if (taken == BodyIntake::no_content_type) return Start::no_content_type;
    if (taken != BodyIntake::ok) {
        write_body_refusal(taken);
        reply::finish(1);
    }
    return Start::post;
}

void end_unanswered(const std::string& method) { reply::finish(method.compare("POST") < 0 ? -1 : 1); }
