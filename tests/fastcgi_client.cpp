#include "fastcgi_client.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace {

// Record types and the one role of the protocol that the programs play.
enum : unsigned char { kBeginRequest = 1, kEndRequest = 3, kParams = 4, kStdin = 5, kStdout = 6, kStderr = 7 };
constexpr unsigned char kResponder = 1;
constexpr std::size_t kMaxContent = 65535;
constexpr unsigned kRequestId = 1;

void put_record(std::string& out, unsigned char type, std::string_view content) {
    const unsigned char header[8] = {1,
                                     type,
                                     static_cast<unsigned char>(kRequestId >> 8),
                                     static_cast<unsigned char>(kRequestId & 0xff),
                                     static_cast<unsigned char>(content.size() >> 8),
                                     static_cast<unsigned char>(content.size() & 0xff),
                                     0,
                                     0};
    out.append(reinterpret_cast<const char*>(header), sizeof header);
    out.append(content);
}

// A stream's records: as many as its content needs, then the empty one
// that ends it.
void put_stream(std::string& out, unsigned char type, std::string_view content) {
    for (std::size_t at = 0; at < content.size(); at += kMaxContent)
        put_record(out, type, content.substr(at, kMaxContent));
    put_record(out, type, {});
}

void put_length(std::string& out, std::size_t n) {
    if (n < 128) {
        out += static_cast<char>(n);
        return;
    }
    out += static_cast<char>(((n >> 24) & 0x7f) | 0x80);
    out += static_cast<char>((n >> 16) & 0xff);
    out += static_cast<char>((n >> 8) & 0xff);
    out += static_cast<char>(n & 0xff);
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

sockaddr_un address_of(const std::string& socket) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + socket);
    std::memcpy(address.sun_path, socket.c_str(), socket.size() + 1);
    return address;
}

}  // namespace

FastcgiReply fastcgi_request(const std::string& socket, const std::vector<std::pair<std::string, std::string>>& params,
                             const std::string& body, const std::function<void()>& on_connect) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    const sockaddr_un address = address_of(socket);
    while (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno == EINTR) continue;
        ::close(fd);
        throw std::runtime_error("cannot connect to " + socket + ": " + std::strerror(errno));
    }
    if (on_connect) on_connect();

    std::string head;
    const unsigned char begin[8] = {0, kResponder, 0, 0, 0, 0, 0, 0};  // no keeping of the connection
    put_record(head, kBeginRequest, std::string_view(reinterpret_cast<const char*>(begin), sizeof begin));
    std::string pairs;
    for (const auto& [name, value] : params) {
        put_length(pairs, name.size());
        put_length(pairs, value.size());
        pairs += name;
        pairs += value;
    }
    put_stream(head, kParams, pairs);
    put_stream(head, kStdin, body);
    // Fed apart from the reading: a program may answer before it reads a
    // body it refuses.
    std::thread feeder([fd, &head] { write_all(fd, head); });

    FastcgiReply reply;
    std::string in;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        in.append(chunk, static_cast<std::size_t>(n));
        // Whole records are taken off the front as they come.
        std::size_t at = 0;
        while (!reply.status && in.size() - at >= 8) {
            const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(in[at + i]); };
            const std::size_t length = std::size_t{byte(4)} << 8 | byte(5), padding = byte(6);
            if (in.size() - at < 8 + length + padding) break;
            const std::string_view content(in.data() + at + 8, length);
            if (byte(1) == kStdout) reply.out.append(content);
            if (byte(1) == kStderr) reply.err.append(content);
            if (byte(1) == kEndRequest && length >= 4)
                reply.status = static_cast<int>(static_cast<unsigned char>(content[0]) << 24 |
                                                static_cast<unsigned char>(content[1]) << 16 |
                                                static_cast<unsigned char>(content[2]) << 8 |
                                                static_cast<unsigned char>(content[3]));
            at += 8 + length + padding;
        }
        in.erase(0, at);
        if (reply.status) break;
    }
    ::shutdown(fd, SHUT_RDWR);  // a feeder still writing stops
    feeder.join();
    ::close(fd);
    return reply;
}

FastcgiPool::FastcgiPool(std::string binary, std::string program_path, std::string dir)
    : binary_(std::move(binary)), program_path_(std::move(program_path)), dir_(std::move(dir)),
      socket_(socket_folder_.path("socket")) {}

void FastcgiPool::listen() {
    ::unlink(socket_.c_str());
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = address_of(socket_);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 128) != 0)
        throw std::runtime_error("cannot listen on " + socket_);
}

FastcgiPool::~FastcgiPool() {
    std::lock_guard<std::mutex> hold(lock_);
    reap();
    for (pid_t pid : pids_) kill(pid, SIGKILL);
    for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
    if (listener_ >= 0) ::close(listener_);
}

std::vector<pid_t> FastcgiPool::processes() {
    std::lock_guard<std::mutex> hold(lock_);
    reap();
    start_missing();
    return pids_;
}

std::optional<int> FastcgiPool::reap() {
    std::optional<int> ended;
    for (auto it = pids_.begin(); it != pids_.end();) {
        int status = 0;
        const bool ours = std::find(killed_.begin(), killed_.end(), *it) != killed_.end();
        // Processes we killed are waited for; the others only looked at.
        if (waitpid(*it, &status, ours ? 0 : WNOHANG) != *it) {
            ++it;
            continue;
        }
        if (!ours) {
            ended = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
            ADD_FAILURE() << "the FastCGI process of " << program_path_ << " ended by itself, status " << *ended;
        }
        it = pids_.erase(it);
    }
    killed_.clear();
    return ended;
}

void FastcgiPool::start_missing() {
    std::vector<std::string> args = {program_path_};
    std::vector<char*> argv = {args[0].data(), nullptr};
    char* envp[] = {nullptr};
    if (listener_ < 0) listen();
    const int wanted = std::clamp(busy_, 1, kMaxProcesses);
    while (static_cast<int>(pids_.size()) < wanted) {
        const pid_t pid = fork();
        if (pid < 0) throw std::runtime_error("fork failed");
        if (pid == 0) {
            dup2(listener_, 0);
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            if (chdir(dir_.c_str()) != 0) _exit(127);
            execve(binary_.c_str(), argv.data(), envp);
            _exit(127);
        }
        pids_.push_back(pid);
    }
}

Reply FastcgiPool::run(const std::vector<std::pair<std::string, std::string>>& params, const std::string& body,
                       const RunControl& control) {
    if (control.before_exec)
        ADD_FAILURE() << "a run that needs its own process goes by CGI only: the test must skip under FastCGI";
    {
        std::lock_guard<std::mutex> hold(lock_);
        reap();
        ++busy_;
        start_missing();
    }
    struct Done {
        FastcgiPool& pool;
        ~Done() {
            std::lock_guard<std::mutex> hold(pool.lock_);
            --pool.busy_;
        }
    } done{*this};
    std::mutex ended_mutex;
    std::condition_variable ended_signal;
    bool ended = false, killed = false;
    std::thread killer;
    const auto start_timer = [&] {
        if (!control.kill_after) return;
        killer = std::thread([&] {
            std::unique_lock<std::mutex> wait(ended_mutex);
            if (ended_signal.wait_for(wait, *control.kill_after, [&] { return ended; })) return;
            std::lock_guard<std::mutex> hold(lock_);
            for (pid_t pid : pids_) kill(pid, SIGKILL);
            killed_ = pids_;
            killed = true;
            // A request not yet taken must not be taken by the processes
            // started next: the listening socket goes, and its queue with it.
            ::close(listener_);
            listener_ = -1;
        });
    };
    const FastcgiReply got = fastcgi_request(socket_, params, body, start_timer);
    if (killer.joinable()) {
        {
            std::lock_guard<std::mutex> wait(ended_mutex);
            ended = true;
        }
        ended_signal.notify_all();
        killer.join();
    }
    Reply r;
    r.out = got.out;
    r.err = got.err;
    if (got.status) {
        r.status = *got.status;
        return r;
    }
    if (killed) {
        r.status = 1000 + SIGKILL;
        return r;
    }
    // The connection ended before the request: the process died under it.
    std::lock_guard<std::mutex> hold(lock_);
    for (int i = 0; i < 100; ++i) {
        if (const auto status = reap()) {
            r.status = *status;
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the FastCGI request to " << program_path_ << " ended without its end";
    r.status = -2;
    return r;
}

bool via_fastcgi() {
    static const bool fastcgi = [] {
        const char* via = std::getenv("TAVRA_TEST_VIA");
        return via && std::string(via) == "fastcgi";
    }();
    return fastcgi;
}
