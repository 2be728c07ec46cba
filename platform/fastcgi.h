// FastCGI requests on the listening socket a program was started on: the
// socket is its standard input, as a web server or a socket unit hands it
// over. The library that speaks the protocol is linked in statically.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace fastcgi {

// Whether the program was started on a listening socket rather than as a
// CGI run.
bool started_on_socket();

// The requests of the socket, taken one at a time.
class Requests {
public:
    Requests();
    ~Requests();
    Requests(const Requests&) = delete;
    Requests& operator=(const Requests&) = delete;

    // Waits for the next request, ending the one before; false when no more
    // can come (the socket is closed or failed, or the process is asked to
    // stop).
    bool next();

    // A parameter (CGI variable) of the current request; nothing when it
    // has none of that name.
    std::optional<std::string> variable(const char* name) const;

    // Up to `bytes` bytes of the current request's body: fewer when it ends
    // first.
    std::string body(std::size_t bytes);

    // Sends the reply's bytes and ends the request with `status` as its
    // application status. A client that went away is not told.
    void answer(std::string_view bytes, int status);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace fastcgi
