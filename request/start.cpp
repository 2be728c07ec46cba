#include "request/start.h"

Started start_request(Request& r) {
    if (!r.method) return {Start::no_method, std::nullopt};
    const std::string& method = *r.method;
    if (method == "GET") return {Start::get, std::nullopt};
    if (method != "POST") return {Start::no_method, leave_unanswered(method)};
    const BodyIntake taken = take_body(r);
    if (taken == BodyIntake::no_content_type) return {Start::no_content_type, std::nullopt};
    if (taken != BodyIntake::ok) {
        write_body_refusal(taken);
        return {Start::post, reply::Done{1}};
    }
    return {Start::post, std::nullopt};
}

reply::Done leave_unanswered(const std::string& method) { return {method.compare("POST") < 0 ? -1 : 1}; }
