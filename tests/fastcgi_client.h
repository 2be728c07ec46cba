// The FastCGI way of the black-box tests: with TAVRA_TEST_VIA=fastcgi, every
// run of an Install goes as one FastCGI request to long-lived processes of
// that install's program, started on a listening unix socket as a web
// server's spawner would start them, instead of to a CGI process of its own.
#pragma once
#include <sys/types.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

// What came back for one FastCGI request.
struct FastcgiReply {
    std::string out, err;         // the STDOUT and STDERR streams
    std::optional<int> status;    // the application status; nothing when the
                                  // connection ended before the request did
};

// Sends one request over a new connection to the unix socket `socket`: the
// parameters, then `body` as its standard input, and reads until the
// request ends or the connection does. `on_connect` is called once the
// request is under way (the kill timer starts there).
FastcgiReply fastcgi_request(const std::string& socket, const std::vector<std::pair<std::string, std::string>>& params,
                             const std::string& body, const std::function<void()>& on_connect = {});

// Processes of one program for one install, all taking requests from one
// listening socket, as a web server's pool of them would. One is started
// on first use, another whenever every one may be busy (up to
// kMaxProcesses), so that requests at the same time are served at the same
// time; they are started again after a kill, and ended with the install.
class FastcgiPool {
public:
    static constexpr int kMaxProcesses = 8;

    // `binary` run as `program_path` (its argv[0]) in the folder `dir`.
    FastcgiPool(std::string binary, std::string program_path, std::string dir);
    ~FastcgiPool();
    FastcgiPool(const FastcgiPool&) = delete;
    FastcgiPool& operator=(const FastcgiPool&) = delete;

    // One run: the request's variables and body, as FastCGI parameters and
    // input; the status as Reply::status. A RunControl's kill_after kills
    // the processes after that long unless the request has ended (status
    // 1000 + SIGKILL); its before_exec cannot apply to a process that is
    // running already, so a test that needs one skips itself in this way.
    Reply run(const std::vector<std::pair<std::string, std::string>>& params, const std::string& body,
              const RunControl& control);

    // The process ids now serving (for tests that watch them).
    std::vector<pid_t> processes();

private:
    void listen();         // a new listening socket
    void start_missing();  // with lock_ held
    // With lock_ held: forgets the processes that ended, a fault unless a
    // kill of ours ended them; the status of the last such end, if any.
    std::optional<int> reap();
    std::string binary_, program_path_, dir_;
    TempFolder socket_folder_{"tavra-fcgi"};
    std::string socket_;
    int listener_ = -1;
    int busy_ = 0;  // requests under way
    std::mutex lock_;
    std::vector<pid_t> pids_;
    std::vector<pid_t> killed_;  // ended by a kill_after: no fault
};
