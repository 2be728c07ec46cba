#include "platform/shop_paths.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/random.h"

namespace shop_paths {
namespace {

Status from_stat(const struct stat& st) {
    Status s;
    s.owner = st.st_uid;
    s.group = st.st_gid;
    s.mode = st.st_mode;
    s.links = st.st_nlink;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<long long>(st.st_size);
    s.changed = static_cast<long long>(st.st_mtime);
    return s;
}

bool same_place(const Status& a, const Status& b) { return a.device == b.device && a.inode == b.inode; }

// The names of a relative path; nothing when one is empty, "." or "..".
std::optional<std::vector<std::string>> names_of(std::string_view rel) {
    std::vector<std::string> names;
    if (rel.empty()) return names;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = rel.find('/', from);
        const std::string_view name = rel.substr(from, slash == std::string_view::npos ? slash : slash - from);
        if (name.empty() || name == "." || name == "..") return std::nullopt;
        names.emplace_back(name);
        if (slash == std::string_view::npos) return names;
        from = slash + 1;
    }
}

// Why the status found at a place is not what it should be, or empty text.
std::string wrong_kind(const Status& st, bool folder) {
    if (S_ISLNK(st.mode)) return "is a symbolic link; links are not followed";
    if (folder && !st.is_folder()) return "is not a folder";
    if (!folder && !st.is_file()) return "is not a regular file";
    return {};
}

// Opens `name` of `at` as a folder or a regular file without following a
// link; `why` says what stood in the way.
std::optional<Handle> open_in(int at, const std::string& name, bool folder, std::string& why) {
    struct stat before {};
    if (::fstatat(at, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0) {
        why = errno == ENOENT ? "does not exist" : std::string("cannot be examined: ") + std::strerror(errno);
        return std::nullopt;
    }
    why = wrong_kind(from_stat(before), folder);
    if (!why.empty()) return std::nullopt;
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | (folder ? O_DIRECTORY : O_NONBLOCK);
    Handle h(::openat(at, name.c_str(), flags));
    if (h.fd() < 0) {
        why = errno == ELOOP ? "is a symbolic link; links are not followed"
                             : std::string("cannot be opened: ") + std::strerror(errno);
        return std::nullopt;
    }
    // What was opened is checked, not what was looked at before.
    const auto st = status(h);
    if (!st) {
        why = "cannot be examined";
        return std::nullopt;
    }
    why = wrong_kind(*st, folder);
    if (!why.empty()) return std::nullopt;
    return h;
}

const char* owner_word(Belongs belongs) {
    switch (belongs) {
        case Belongs::keeper: return "the shop's keeper";
        case Belongs::user: return "the shop's user";
        case Belongs::either: break;
    }
    return "the shop's keeper or user";
}

std::string temporary_name(const std::string& name) {
    return "." + name + "." + std::to_string(entropy::random_64().value_or(static_cast<std::uint64_t>(::getpid())) % 1000000000000ULL) + ".new";
}

bool give(int fd, const Giving& giving) {
    if (giving.set && ::fchown(fd, giving.uid, giving.gid) != 0) return false;
    return ::fchmod(fd, giving.mode) == 0;
}

}  // namespace

Handle::~Handle() {
    if (fd_ >= 0) ::close(fd_);
}

Handle& Handle::operator=(Handle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

// Linux names every open descriptor of a process in /proc/self/fd; a lookup
// through that name lands in the folder the descriptor holds.
std::string Handle::path() const { return "/proc/self/fd/" + std::to_string(fd_); }

bool Status::is_folder() const { return S_ISDIR(mode); }
bool Status::is_file() const { return S_ISREG(mode); }

std::optional<Status> status(const Handle& place) {
    struct stat st {};
    if (place.fd() < 0 || ::fstat(place.fd(), &st) != 0) return std::nullopt;
    return from_stat(st);
}

std::optional<Shop> Shop::open(const std::string& folder, std::optional<uid_t> user, std::string& refusal) {
    Shop shop;
    shop.folder_ = folder;
    shop.root_ = Handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const auto st = status(shop.root_);
    if (shop.root_.fd() < 0 || !st) {
        refusal = folder + ": cannot be opened as a folder: " + std::strerror(errno);
        return std::nullopt;
    }
    shop.keeper_ = st->owner;
    shop.user_ = user.value_or(st->owner);
    if (!user) {
        if (const auto data = status_in(shop.root_, "data")) {
            if (!data->is_folder()) {
                refusal = shop.place("data") + ": " + wrong_kind(*data, true);
                return std::nullopt;
            }
            shop.user_ = data->owner;
        }
    }
    return shop;
}

bool Shop::owned_as(uid_t owner, Belongs belongs) const {
    switch (belongs) {
        case Belongs::keeper: return owner == keeper_;
        case Belongs::user: return owner == user_;
        case Belongs::either: break;
    }
    return owner == keeper_ || owner == user_;
}

std::string Shop::place(std::string_view rel) const {
    return rel.empty() ? folder_ : folder_ + "/" + std::string(rel);
}

std::optional<Handle> Shop::folder(std::string_view rel, Belongs last, std::string& refusal) const {
    const auto names = names_of(rel);
    if (!names) {
        refusal = place(rel) + ": not a plain path inside the shop";
        return std::nullopt;
    }
    Handle at(::fcntl(root_.fd(), F_DUPFD_CLOEXEC, 0));
    std::string walked;
    for (std::size_t i = 0; i < names->size(); ++i) {
        walked += (i ? "/" : "") + (*names)[i];
        std::string why;
        auto next = open_in(at.fd(), (*names)[i], true, why);
        if (!next) {
            refusal = place(walked) + ": " + why;
            return std::nullopt;
        }
        const Belongs wanted = i + 1 == names->size() ? last : Belongs::either;
        if (!owned_as(status(*next)->owner, wanted)) {
            refusal = place(walked) + ": does not belong to " + owner_word(wanted);
            return std::nullopt;
        }
        at = std::move(*next);
    }
    if (names->empty() && !owned_as(keeper_, last)) {
        refusal = place(rel) + ": does not belong to " + owner_word(last);
        return std::nullopt;
    }
    return at;
}

std::optional<Handle> Shop::parent_of(std::string_view rel, Belongs owner, std::string& name,
                                      std::string& refusal) const {
    const std::size_t slash = rel.rfind('/');
    name = std::string(slash == std::string_view::npos ? rel : rel.substr(slash + 1));
    if (name.empty() || name == "." || name == "..") {
        refusal = place(rel) + ": not a plain path inside the shop";
        return std::nullopt;
    }
    return folder(slash == std::string_view::npos ? std::string_view() : rel.substr(0, slash), owner, refusal);
}

std::optional<Handle> Shop::file(std::string_view rel, Belongs owner, std::string& refusal) const {
    std::string name;
    const auto parent = parent_of(rel, Belongs::either, name, refusal);
    if (!parent) return std::nullopt;
    std::string why;
    auto file = open_in(parent->fd(), name, false, why);
    if (!file) {
        refusal = place(rel) + ": " + why;
        return std::nullopt;
    }
    if (!owned_as(status(*file)->owner, owner)) {
        refusal = place(rel) + ": does not belong to " + owner_word(owner);
        return std::nullopt;
    }
    return file;
}

std::optional<std::string> Shop::read(std::string_view rel, Belongs owner, std::string& refusal) const {
    const auto held = file(rel, owner, refusal);
    if (!held) return std::nullopt;
    auto text = read_all(*held);
    if (!text) refusal = place(rel) + ": cannot be read";
    return text;
}

bool Shop::give_own_folder(const Giving& giving, std::string& refusal) const {
    if (give(root_.fd(), giving)) return true;
    refusal = folder_ + ": cannot be given its owner and mode: " + std::strerror(errno);
    return false;
}

bool Shop::make_folder(std::string_view rel, const Giving& giving, Belongs existing, std::string& refusal) const {
    std::string name;
    const auto parent = parent_of(rel, Belongs::either, name, refusal);
    if (!parent) return false;
    const bool made_now = ::mkdirat(parent->fd(), name.c_str(), 0700) == 0;
    if (!made_now && errno != EEXIST) {
        refusal = place(rel) + ": cannot be made: " + std::strerror(errno);
        return false;
    }
    std::string why;
    auto made = open_in(parent->fd(), name, true, why);
    if (!made) {
        refusal = place(rel) + ": " + why;
        return false;
    }
    const auto st = status(*made);
    if (!made_now && !owned_as(st->owner, existing)) {
        refusal = place(rel) + ": does not belong to " + owner_word(existing);
        return false;
    }
    if (!give(made->fd(), giving)) {
        refusal = place(rel) + ": cannot be given its owner and mode: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Shop::put_file(std::string_view rel, std::string_view content, const Giving& giving, Belongs folder_owner,
                    std::string& refusal) const {
    std::string name;
    const auto parent = parent_of(rel, folder_owner, name, refusal);
    if (!parent) return false;
    if (!put_file_in(*parent, name, content, giving)) {
        refusal = place(rel) + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Shop::put_link(std::string_view rel, const std::string& target, const Giving& giving, Belongs folder_owner,
                    std::string& refusal) const {
    std::string name;
    const auto parent = parent_of(rel, folder_owner, name, refusal);
    if (!parent) return false;
    const std::string temp = temporary_name(name);
    bool ok = ::symlinkat(target.c_str(), parent->fd(), temp.c_str()) == 0;
    if (ok && giving.set) ok = ::fchownat(parent->fd(), temp.c_str(), giving.uid, giving.gid, AT_SYMLINK_NOFOLLOW) == 0;
    if (ok) ok = ::renameat(parent->fd(), temp.c_str(), parent->fd(), name.c_str()) == 0;
    if (!ok) {
        refusal = place(rel) + ": cannot be linked: " + std::strerror(errno);
        ::unlinkat(parent->fd(), temp.c_str(), 0);
    }
    return ok;
}

std::optional<Handle> open_folder(const std::string& path) {
    Handle h(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (h.fd() < 0) return std::nullopt;
    return h;
}

std::vector<std::string> names_in(const Handle& folder) {
    std::vector<std::string> names;
    const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return names;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<Status> status_in(const Handle& folder, const std::string& name) {
    struct stat st {};
    if (::fstatat(folder.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return from_stat(st);
}

std::optional<Handle> open_file_in(const Handle& folder, const std::string& name) {
    std::string why;
    return open_in(folder.fd(), name, false, why);
}

std::optional<std::string> read_all(const Handle& file) { return files::read_descriptor(file.fd()); }

bool put_file_in(const Handle& folder, const std::string& name, std::string_view content, const Giving& giving) {
    const std::string temp = temporary_name(name);
    const int fd = ::openat(folder.fd(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    int failure = 0;
    bool ok = give(fd, giving) && files::write_all(fd, content) && ::fsync(fd) == 0;
    if (!ok) failure = errno;
    if (::close(fd) != 0 && ok) ok = false, failure = errno;
    if (ok && ::renameat(folder.fd(), temp.c_str(), folder.fd(), name.c_str()) != 0) ok = false, failure = errno;
    if (!ok) {
        ::unlinkat(folder.fd(), temp.c_str(), 0);
        errno = failure;
        return false;
    }
    ::fsync(folder.fd());
    return true;
}

Removal remove_if_idle(const Handle& folder, const std::string& name, uid_t owner,
                       const std::function<bool(long long, long long)>& wanted) {
    const auto held = open_file_in(folder, name);
    if (!held) return status_in(folder, name) ? Removal::refused : Removal::kept;
    const auto st = status(*held);
    if (!st || st->owner != owner) return Removal::refused;
    if (::flock(held->fd(), LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? Removal::in_use : Removal::failed;
    // A run may have replaced the file between our open and our lock.
    const auto now = status_in(folder, name);
    const auto locked = status(*held);
    if (!now || !locked || !same_place(*now, *locked) || !wanted(locked->size, locked->changed)) return Removal::kept;
    return ::unlinkat(folder.fd(), name.c_str(), 0) == 0 ? Removal::removed : Removal::failed;
}

}  // namespace shop_paths
