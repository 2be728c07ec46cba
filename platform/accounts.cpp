#include "platform/accounts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace accounts {
namespace {

std::string group_name(gid_t gid) {
    struct group* g = getgrgid(gid);
    return g ? g->gr_name : std::to_string(gid);
}

std::vector<gid_t> groups_of(const Account& who) {
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    while (getgrouplist(who.name.c_str(), who.gid, groups.data(), &count) < 0)
        groups.resize(static_cast<std::size_t>(count));
    groups.resize(static_cast<std::size_t>(count));
    if (std::find(groups.begin(), groups.end(), who.gid) == groups.end()) groups.push_back(who.gid);
    return groups;
}

// The permission bits that apply to `who` for a file with this status.
int bits_for(const Account& who, const std::vector<gid_t>& groups, const struct stat& st) {
    if (st.st_uid == who.uid) return (st.st_mode >> 6) & 7;
    if (std::find(groups.begin(), groups.end(), st.st_gid) != groups.end()) return (st.st_mode >> 3) & 7;
    return st.st_mode & 7;
}

bool permits(const Account& who, const std::vector<gid_t>& groups, const struct stat& st, int wanted) {
    if (who.uid == 0) {
        // The superuser reads and writes anything, searches any folder and
        // runs a file that has an execute bit for someone.
        if ((wanted & search) && !S_ISDIR(st.st_mode) && (st.st_mode & 0111) == 0) return false;
        return true;
    }
    return (bits_for(who, groups, st) & wanted) == wanted;
}

}  // namespace

std::optional<Account> find(const std::string& name) {
    struct passwd* p = getpwnam(name.c_str());
    if (!p) return std::nullopt;
    return Account{p->pw_name, group_name(p->pw_gid), p->pw_uid, p->pw_gid};
}

std::optional<Account> owner_of(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    struct passwd* p = getpwuid(st.st_uid);
    if (!p) return std::nullopt;
    return Account{p->pw_name, group_name(p->pw_gid), p->pw_uid, p->pw_gid};
}

Account current() {
    uid_t uid = geteuid();
    struct passwd* p = getpwuid(uid);
    return Account{p ? p->pw_name : std::to_string(uid), group_name(getegid()), uid, getegid()};
}

bool is_root() { return geteuid() == 0; }

bool allows(const Account& who, const std::string& path, int wanted) {
    const std::vector<gid_t> groups = groups_of(who);
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
    // Every folder on the way, from the root down, must let the user pass.
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        struct stat above {};
        if (::stat(path.substr(0, slash).c_str(), &above) != 0 || !permits(who, groups, above, search)) return false;
    }
    return permits(who, groups, st, wanted);
}

}  // namespace accounts
