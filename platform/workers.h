// A pool of processes that take the requests of one listening socket in
// turn: each answers one request at a time, so several let one request's
// waits (a disk that syncs, a mailer that starts) overlap another's work.
#pragma once
#include <functional>

namespace workers {

// The number of processes to serve with, from TAVRA_FASTCGI_WORKERS: 1 to
// kMost; 1 when it is unset or not such a number.
unsigned wanted();

inline constexpr unsigned kMost = 64;

// Runs `serve` in `count` processes. With one it runs here. With more, this
// process keeps them: it starts them, starts another when one ends by a
// signal or with a failure (not more than one a second), and when it is
// asked to stop (SIGTERM, SIGINT, SIGHUP) passes that on to them and returns
// once they have all ended. A worker that ends well (its socket closed) is
// not replaced; the keeper returns 0 once none is left.
int run(unsigned count, const std::function<int()>& serve);

}  // namespace workers
