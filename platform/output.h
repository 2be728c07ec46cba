// The reply of a request: everything the handling of a request writes for
// the web server goes through here into the reply the request's function
// owns (Building), which it returns whole when the request is answered;
// only `main` writes it out.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace reply {

// A request answered: the reply is complete and `status` is what the run
// ends with (-1 reaches the server as 255). Every function that completes a
// reply returns one, up to the request's function; dropping one is a fault.
struct [[nodiscard]] Done {
    int status;
};

// What a check returns: the answer when it refused the request, nothing
// when the request goes on.
using Refusal = std::optional<Done>;

// The whole reply of a request, as `main` writes it.
struct Reply {
    int status = 0;
    std::string bytes;
};

// The reply a request is building, owned by the request's function: while
// one is open, reply::write and forbid_caching go to it (to the last one
// opened, when they nest); without one (tests of the pieces that write
// replies) the bytes go to a reply of the process, which `take` hands over.
class Building {
public:
    Building();
    ~Building();
    Building(const Building&) = delete;
    Building& operator=(const Building&) = delete;

    // The reply built, complete with its status and with the safety
    // headers before its content-type or Location line
    // (common/reply_headers.h).
    Reply complete(Done done) const;

private:
    friend void write(std::string_view);
    friend void forbid_caching();
    std::string bytes_;
    bool no_store_ = false;
    Building* outer_;
};

// Appends bytes to the reply.
void write(std::string_view bytes);

// Marks the reply as one no cache may keep ("Cache-Control: no-store"):
// the checkout pages, which show the shopper's details, and their error
// pages.
void forbid_caching();

// Hands the reply written so far outside a Building to the caller and
// starts an empty one (for tests of the pieces that write replies).
std::string take();

// Writes a reply to standard output. A failed write means the server went
// away: nothing is left to tell it.
void send(const Reply& reply);

}  // namespace reply
