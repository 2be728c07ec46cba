#include "platform/profile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unordered_map>

#include "common/numbers.h"
#include "platform/files.h"
#include "platform/profile_document.h"

namespace profile {
namespace {

struct Kept {
    Document doc;
    bool dirty = false;       // changed under a lock and not yet stored
    bool written = false;     // stored at least once while locked
    int lock_fd = -1;
    int lock_depth = 0;
    bool created_by_lock = false;  // the lock made the (empty) file
    bool durable = false;          // synced to disk when stored
    bool no_follow = false;        // Links::refused: reached only through the lock
    std::size_t max_bytes = SIZE_MAX;  // a store of more is refused (limit_size)
};

std::unordered_map<std::string, Kept>& kept_files() {
    static std::unordered_map<std::string, Kept> files;
    return files;
}

// Whether a RequestWrites is open: writes then wait for store_now.
bool& in_request() {
    static bool open = false;
    return open;
}

void parse_from_disk(Kept& k, const std::string& path) {
    if (k.no_follow && k.lock_fd < 0) {
        k.doc = Document{};
        return;
    }
    auto text = k.no_follow ? files::read_descriptor(k.lock_fd) : files::read(path);
    k.doc = text ? Document::parse(*text) : Document{};
}

Kept& load(const std::string& path) {
    auto& all = kept_files();
    auto it = all.find(path);
    if (it != all.end()) return it->second;
    Kept& k = all[path];
    parse_from_disk(k, path);
    return k;
}

// Replaces the file by the document's bytes: a temporary file beside it with
// the old file's permissions, put in the file's place in one step, so that a
// reader finds the old file or the new one and never a part of either.
//
// The swap is an exchange of the two names where the file system offers it:
// renaming over an existing file makes ext4 write the new data out at once,
// which costs more than the rest of a request. A `durable` file (the shop's
// configuration and counters) is instead synced to disk and then renamed, so
// that it survives a power cut whole.
bool store(const std::string& path, std::string_view text, bool durable, int no_follow_fd) {
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) return false;
    std::string temp = dir + "." + base + "." + std::to_string(getpid()) + ".tmp";

    // Without following links, the file replaced is the one the lock holds.
    struct stat old {};
    bool had_old = no_follow_fd >= 0 ? ::fstat(no_follow_fd, &old) == 0 : ::stat(path.c_str(), &old) == 0;
    if (had_old && !S_ISREG(old.st_mode)) return false;

    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {  // left behind by a killed run with our pid
        ::unlink(temp.c_str());
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    }
    if (fd < 0) return false;
    if (had_old) {
        // A file changed by the superuser (the shop tool) stays the server
        // user's; for anyone else this asks for no change.
        if (fchown(fd, old.st_uid, old.st_gid) != 0 && geteuid() == 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        fchmod(fd, old.st_mode & 07777);
    }
    bool ok = files::write_all(fd, text);
    if (ok && durable && fdatasync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    if (had_old && !durable &&
        renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(temp.c_str());  // now the old file
        return true;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool commit(Kept& k, const std::string& path) {
    if (!k.dirty) return true;
    k.dirty = false;
    if (k.no_follow && k.lock_fd < 0) {
        parse_from_disk(k, path);
        return false;
    }
    const std::string text = k.doc.text();
    if (text.size() <= k.max_bytes && store(path, text, k.durable, k.no_follow ? k.lock_fd : -1)) {
        k.written = true;
        return true;
    }
    parse_from_disk(k, path);  // the failed write leaves what the file holds
    return false;
}

void acquire(Kept& k, const std::string& path) {
    for (;;) {
        bool created = false;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (k.no_follow ? O_NOFOLLOW : 0));
        if (fd < 0 && errno == ENOENT && !k.no_follow) {
            fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST) continue;
            created = fd >= 0;
        }
        if (fd < 0) break;
        struct stat held {};
        if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            break;
        }
        while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        // The holder before us may have renamed a new file over the one we
        // locked, or removed it: then lock the file that is there now.
        struct stat now {};
        const int looked = k.no_follow ? ::lstat(path.c_str(), &now) : ::stat(path.c_str(), &now);
        if (looked != 0 || now.st_ino != held.st_ino || now.st_dev != held.st_dev) {
            ::close(fd);
            continue;
        }
        k.lock_fd = fd;
        k.created_by_lock = created;
        break;
    }
    k.dirty = false;
    k.written = false;
    parse_from_disk(k, path);  // never trust a parse made before the lock
}

void release(Kept& k, const std::string& path) {
    commit(k, path);
    if (k.lock_fd >= 0) {
        if (k.created_by_lock && !k.written) ::unlink(path.c_str());
        ::close(k.lock_fd);
    }
    k.lock_fd = -1;
    k.lock_depth = 0;
    k.created_by_lock = false;
}

void change(const std::string& path, const std::optional<std::string_view>& value, std::string_view section,
            std::string_view key) {
    Lock hold(path);  // nests in the caller's lock, or takes one for this write alone
    Kept& k = load(path);
    if (value) k.doc.set(section, key, *value);
    else k.doc.remove(section, key);
    k.dirty = true;
}

}  // namespace

std::string read_text(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view fallback, std::size_t room) {
    auto value = load(path).doc.get(section, key);
    return std::string((value ? *value : fallback).substr(0, room));
}

std::optional<std::string> read_value(const std::string& path, std::string_view section, std::string_view key) {
    auto value = load(path).doc.get(section, key);
    if (!value) return std::nullopt;
    return std::string(*value);
}

int read_int(const std::string& path, std::string_view section, std::string_view key, int fallback) {
    auto value = load(path).doc.get(section, key);
    return value ? read_integer(*value) : fallback;
}

std::vector<long long> numbered_sections(const std::string& path) { return load(path).doc.numbered_sections(); }

std::vector<long long> numbered_keys(const std::string& path, std::string_view section, std::string_view prefix) {
    return load(path).doc.numbered_keys(section, prefix);
}

void write(const std::string& path, std::string_view section, std::string_view key,
           const std::optional<std::string>& value) {
    if (value) change(path, std::string_view(*value), section, key);
    else change(path, std::nullopt, section, key);
}

void write(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
    change(path, value, section, key);
}

void remove(const std::string& path, std::string_view section, std::string_view key) {
    change(path, std::nullopt, section, key);
}

Lock::Lock(std::string path, Durability durability, Links links) : path_(std::move(path)) {
    Kept& k = kept_files()[path_];
    if (durability == Durability::synced) k.durable = true;
    if (links == Links::refused) k.no_follow = true;
    // A file whose writes wait for their store is still locked: taking it
    // again keeps them.
    if (k.lock_depth++ == 0 && !(in_request() && k.dirty && k.lock_fd >= 0)) acquire(k, path_);
}

Lock::~Lock() {
    auto& all = kept_files();
    auto it = all.find(path_);
    if (it == all.end() || it->second.lock_depth == 0) return;  // released by commit_all
    if (--it->second.lock_depth == 0 && !(in_request() && it->second.dirty)) release(it->second, path_);
}

std::optional<Held> held(const std::string& path) {
    auto& all = kept_files();
    auto it = all.find(path);
    struct stat st {};
    if (it == all.end() || it->second.lock_fd < 0 || ::fstat(it->second.lock_fd, &st) != 0) return std::nullopt;
    return Held{st.st_uid, st.st_nlink};
}

bool store_now(const std::string& path) {
    auto& all = kept_files();
    auto it = all.find(path);
    if (it == all.end()) return true;
    const bool stored = commit(it->second, path);
    if (it->second.lock_depth == 0) release(it->second, path);
    return stored;
}

RequestWrites::RequestWrites() { in_request() = true; }

RequestWrites::~RequestWrites() {
    for (auto& [path, k] : kept_files()) {
        k.dirty = false;
        if (k.lock_fd >= 0) release(k, path);
    }
    kept_files().clear();
    in_request() = false;
}

Removal remove_if_idle(const std::string& path, const std::function<bool(long long, long long)>& wanted) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT ? Removal::kept : Removal::failed;
    Removal result = Removal::kept;
    struct stat held {};
    if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        result = Removal::failed;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result = errno == EWOULDBLOCK ? Removal::in_use : Removal::failed;
    } else {
        struct stat now {};
        // A run may have replaced the file between our open and our lock.
        if (::lstat(path.c_str(), &now) == 0 && now.st_ino == held.st_ino && now.st_dev == held.st_dev &&
            fstat(fd, &held) == 0 && wanted(held.st_size, held.st_mtime)) {
            result = ::unlink(path.c_str()) == 0 ? Removal::removed : Removal::failed;
            kept_files().erase(path);
        }
    }
    ::close(fd);
    return result;
}

void limit_size(const std::string& path, std::size_t bytes) { load(path).max_bytes = bytes; }

void commit_all() {
    for (auto& [path, k] : kept_files())
        if (k.lock_depth > 0 || k.lock_fd >= 0) release(k, path);
}

void forget_all() {
    commit_all();
    kept_files().clear();
}

}  // namespace profile
