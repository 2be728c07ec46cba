#include "mailer/delivery.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/clock.h"
#include "platform/process.h"

namespace mailer {
namespace {

std::string errno_text(int err) { return std::strerror(err); }

std::string with_slash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

std::string rfc5322_now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // Day and month names in English whatever the locale (RFC 5322, 3.3).
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %s", timing::day_name(local.tm_wday),
                  local.tm_mday, timing::month_name(local.tm_mon), local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec, zone);
    return text;
}

std::string unique_token() {
    static unsigned counter = 0;
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    char text[64];
    std::snprintf(text, sizeof text, "%lld.%09ld.%ld.%u", static_cast<long long>(now.tv_sec), now.tv_nsec,
                  static_cast<long>(getpid()), counter++);
    return text;
}

bool store_in_outbox(const std::string& folder, const std::string& message, std::string& stored, std::string& error) {
    const std::string dir = with_slash(folder);
    if (::mkdir(dir.c_str(), 0750) != 0 && errno != EEXIST) {
        error = "cannot make the outbox folder " + dir + ": " + errno_text(errno);
        return false;
    }
    std::string temp = dir + ".new-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot write into the outbox folder " + dir + ": " + errno_text(errno);
        return false;
    }
    ::fchmod(fd, 0640);
    bool written = files::write_all(fd, message) && ::fsync(fd) == 0;
    int write_errno = errno;
    if (::close(fd) != 0) written = false;
    if (!written) {
        ::unlink(temp.c_str());
        error = "cannot write the message into " + dir + ": " + errno_text(write_errno);
        return false;
    }
    // link() refuses an existing name, so two senders never share a file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = dir + unique_token() + ".eml";
        if (::link(temp.c_str(), name.c_str()) == 0) {
            ::unlink(temp.c_str());
            stored = name;
            return true;
        }
        if (errno != EEXIST) {
            error = "cannot store the message in " + dir + ": " + errno_text(errno);
            break;
        }
    }
    if (error.empty()) error = "no free message name in " + dir;
    ::unlink(temp.c_str());
    return false;
}

bool pipe_to_program(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                     std::string& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = "cannot make a pipe: " + errno_text(errno);
        return false;
    }
    pid_t pid = 0;
    const int rc = process::start(program, args, fds[0], false, pid);
    ::close(fds[0]);
    if (rc != 0) {
        ::close(fds[1]);
        error = "cannot start " + program + ": " + errno_text(rc);
        return false;
    }
    // A program that stops reading early must not kill us with SIGPIPE; its
    // exit status tells what happened.
    std::signal(SIGPIPE, SIG_IGN);
    bool fed = files::write_all(fds[1], input);
    ::close(fds[1]);
    int status = 0;
    if (!process::wait_for(pid, status)) {
        error = "lost " + program + ": " + errno_text(errno);
        return false;
    }
    if (WIFSIGNALED(status)) {
        error = program + " was ended by signal " + std::to_string(WTERMSIG(status));
        return false;
    }
    if (WEXITSTATUS(status) != 0) {
        error = program + " refused the message (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
        return false;
    }
    if (!fed) {
        error = program + " did not read the whole message";
        return false;
    }
    return true;
}

}  // namespace mailer
