#include "platform/files.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace files {
std::string read_standard_input(std::size_t bytes) {
    std::string in(bytes, '\0');
    std::size_t got = 0;
    while (got < in.size()) {
        const ssize_t n = ::read(STDIN_FILENO, in.data() + got, in.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    in.resize(got);
    return in;
}

bool write_all(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // no progress is a failure too, never a loop
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> read_descriptor(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string content;
    content.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (off_t at = 0;;) {
        ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;  // a read failure ends the text where it stands
        }
        if (n == 0) break;
        content.append(chunk, static_cast<std::size_t>(n));
        at += n;
    }
    return content;
}

std::optional<std::string> read(const std::string& path) {
    // Not blocking: a FIFO where a file should be is refused, not waited on.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    auto content = read_descriptor(fd);
    ::close(fd);
    return content;
}

std::optional<std::string> read_own_file(const std::string& path, std::string& why, bool& refused) {
    refused = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0) {
        refused = errno == ELOOP;
        why = refused ? "is a symbolic link" : "cannot be opened";
        return std::nullopt;
    }
    struct stat st {};
    std::optional<std::string> content;
    refused = true;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) why = "is not a regular file";
    else if (st.st_nlink != 1) why = "has " + std::to_string(st.st_nlink) + " links; a mail file has one";
    else if (st.st_uid != geteuid()) why = "does not belong to the user the mailer runs as";
    else if (refused = false; !(content = read_descriptor(fd))) why = "cannot be read";
    ::close(fd);
    return content;
}

bool append(const std::string& path, std::string_view record) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    // A record that cannot be written whole (a full disk, a file size limit)
    // is taken back out, so that the next record does not follow a torn one.
    struct stat before {};
    const bool sized = fstat(fd, &before) == 0;
    if (!write_all(fd, record) && sized) {
        while (ftruncate(fd, before.st_size) != 0 && errno == EINTR) {
        }
    }
    ::close(fd);  // closing releases the lock
    return true;
}

bool write_whole(const std::string& path, std::string_view content) {
    // Written over and then cut after the content, rather than opened
    // truncated: ext4 writes out at once on closing a file truncated to
    // nothing, and the order mail files this takes are new and empty.
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && write_all(fd, content);
    if (ok && st.st_size > static_cast<off_t>(content.size()))
        ok = ::ftruncate(fd, static_cast<off_t>(content.size())) == 0;
    if (::close(fd) != 0) ok = false;
    return ok;
}

void remove(const std::string& path) { ::unlink(path.c_str()); }

bool is_regular_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool is_directory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Created create_new(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? Created::exists : Created::failed;
    ::close(fd);
    return Created::created;
}

Created create_owner_only(const std::string& path, std::string_view content) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return errno == EEXIST ? Created::exists : Created::failed;
    const bool written = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && write_all(fd, content) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return Created::failed;
    }
    return Created::created;
}

void keep_new_files_private() {
    const mode_t handed_down = ::umask(0);
    ::umask(handed_down | S_IRWXO);
}

std::string program_directory(std::string_view program_path) {
    std::size_t slash = program_path.rfind('/');
    if (slash == std::string_view::npos) return std::string();
    return std::string(program_path.substr(0, slash + 1));
}

std::string absolute_path(std::string_view path) {
    if (!path.empty() && path.front() == '/') return std::string(path);
    std::string here(PATH_MAX, '\0');
    if (!::getcwd(here.data(), here.size())) return std::string(path);
    here.resize(std::char_traits<char>::length(here.c_str()));
    if (here.back() != '/') here += '/';
    return here + std::string(path);
}

bool enter_folder(const std::string& folder) { return folder.empty() || ::chdir(folder.c_str()) == 0; }

}  // namespace files
