// Users of the machine and what they may do with a path: for laying out a
// shop that the web server's user runs, and for checking one.
#pragma once
#include <optional>
#include <string>
#include <sys/types.h>

namespace accounts {

struct Account {
    std::string name;
    std::string group;  // name of the primary group
    uid_t uid = 0;
    gid_t gid = 0;
};

// The user of that name, with the primary group.
std::optional<Account> find(const std::string& name);

// The user who owns the path; nothing when it is missing or the owner has
// no account.
std::optional<Account> owner_of(const std::string& path);

// The user this process runs as.
Account current();

bool is_root();

enum Access { read = 4, write = 2, search = 1 };

// Whether `who` may do `wanted` (bits of Access) with the path, following
// symbolic links, and reach it: search rights on every folder above it.
// Decided from owners, groups and mode bits, as the kernel would for that
// user; the superuser may read and write anything and run what anyone may.
bool allows(const Account& who, const std::string& path, int wanted);

}  // namespace accounts
