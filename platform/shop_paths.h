// The places of a shop, reached from the shop's folder one name at a time
// and never through a symbolic link, so that whoever may write a part of
// the shop (the web server's user) cannot send the shop tool, run as root,
// to a file or folder elsewhere. Each place is checked for its owner on the
// way; a place that is a link, is not what it should be, or belongs to
// somebody else is refused, with a message that names it.
//
// Paths inside a shop are relative to its folder ("cgi-bin/tavra.cfg",
// "data/baskets/basket"); empty names, "." and ".." are refused.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace shop_paths {

// An open folder or file; closed when it goes.
class Handle {
public:
    Handle() = default;
    explicit Handle(int fd) : fd_(fd) {}
    ~Handle();
    Handle(Handle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    int fd() const { return fd_; }
    // A path that names this very folder for as long as the handle is open,
    // whatever is renamed meanwhile: code that takes paths (the profile
    // store) reaches a file of the folder through it by one last name.
    std::string path() const;

private:
    int fd_ = -1;
};

// What a held place is.
struct Status {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;  // type and permission bits
    nlink_t links = 0;
    dev_t device = 0;
    ino_t inode = 0;
    long long size = 0;
    long long changed = 0;  // last change of the content, seconds since the epoch

    bool is_folder() const;
    bool is_file() const;  // a regular file
};
std::optional<Status> status(const Handle& place);

// Whom a place of a shop belongs to, as the shop was laid out: its keeper
// (who owns the shop's folder: root, or a user who laid out a shop of its
// own), its user (who runs its programs and writes its data), or either.
enum class Belongs { keeper, user, either };

// Who is given a place that is made or replaced; `set` false keeps the
// caller's own (a run that is not root's cannot give things away).
struct Giving {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
    bool set = true;
};

class Shop {
public:
    // The shop in `folder`, an absolute path: the folders above it and the
    // folder itself are taken as the caller names them. Its user is `user`
    // when given, otherwise the owner of its data/ folder, or the keeper
    // when it has none. Nothing, with `refusal`, when the folder cannot be
    // opened or data/ is a link.
    static std::optional<Shop> open(const std::string& folder, std::optional<uid_t> user, std::string& refusal);

    const std::string& folder() const { return folder_; }
    uid_t keeper() const { return keeper_; }
    uid_t user() const { return user_; }
    const Handle& handle() const { return root_; }

    // Whether `owner` is whom `belongs` means.
    bool owned_as(uid_t owner, Belongs belongs) const;
    // The place as messages name it: the shop folder and `rel`.
    std::string place(std::string_view rel) const;

    // The folder at `rel` ("" for the shop's own): every name on the way a
    // folder, not a link, the keeper's or the user's; the last one owned as
    // `last` says.
    std::optional<Handle> folder(std::string_view rel, Belongs last, std::string& refusal) const;
    // The regular file at `rel`, open for reading, found the same way and
    // owned as `owner` says.
    std::optional<Handle> file(std::string_view rel, Belongs owner, std::string& refusal) const;
    // The whole content of that file.
    std::optional<std::string> read(std::string_view rel, Belongs owner, std::string& refusal) const;

    // Gives the shop's own folder as `giving` says.
    bool give_own_folder(const Giving& giving, std::string& refusal) const;
    // Makes the folder at `rel` unless it is there (its parent must be) and
    // gives it as `giving` says through its descriptor. A folder that is
    // there must be owned as `existing` says.
    bool make_folder(std::string_view rel, const Giving& giving, Belongs existing, std::string& refusal) const;
    // Writes a whole file at `rel` (see put_file_in), in a folder owned as
    // `folder_owner` says.
    bool put_file(std::string_view rel, std::string_view content, const Giving& giving, Belongs folder_owner,
                  std::string& refusal) const;
    // A symbolic link at `rel` to `target`, in place of whatever is there.
    bool put_link(std::string_view rel, const std::string& target, const Giving& giving, Belongs folder_owner,
                  std::string& refusal) const;

private:
    // The folder that holds `rel` and the last name of `rel`.
    std::optional<Handle> parent_of(std::string_view rel, Belongs owner, std::string& name,
                                    std::string& refusal) const;

    Handle root_;
    std::string folder_;
    uid_t keeper_ = 0;
    uid_t user_ = 0;
};

// A folder outside any shop (the registry), opened as named.
std::optional<Handle> open_folder(const std::string& path);

// The names in a held folder, "." and ".." left out, sorted.
std::vector<std::string> names_in(const Handle& folder);

// The status of a name in a held folder, without following a link.
std::optional<Status> status_in(const Handle& folder, const std::string& name);

// The regular file `name` of a held folder, opened for reading without
// following a link and without waiting on a FIFO.
std::optional<Handle> open_file_in(const Handle& folder, const std::string& name);

// The whole content of an open file, from its start.
std::optional<std::string> read_all(const Handle& file);

// Writes `content` as the file `name` of a held folder: a temporary file
// created beside it that must not exist yet and is no link, given as
// `giving` says through its descriptor, synced to disk and renamed over the
// name. False, leaving the old file, when any step fails.
bool put_file_in(const Handle& folder, const std::string& name, std::string_view content, const Giving& giving);

// What became of a file offered to remove_if_idle.
enum class Removal { removed, kept, in_use, refused, failed };

// Removes a file of a held folder that no run is changing: it is opened
// without following a link, must be a regular file of `owner`, is locked
// without waiting (a run holding it leaves it `in_use`), `wanted` is asked
// with its size and last change, and it is removed relative to the folder
// only when the name still names the file that was locked.
Removal remove_if_idle(const Handle& folder, const std::string& name, uid_t owner,
                       const std::function<bool(long long size, long long changed)>& wanted);

}  // namespace shop_paths
