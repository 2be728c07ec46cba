// Shared pieces of the fault-injection tests: runs under a file size limit
// or as a user without rights to the install tree, and reading a profile
// file back the way the programs do.
#pragma once
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>

#include "harness.h"
#include "platform/profile_document.h"

// The program may write at most `bytes` bytes into any file; a longer write
// fails with EFBIG instead of killing the process.
inline RunControl file_size_limit(rlim_t bytes) {
    RunControl control;
    control.before_exec = [bytes] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    return control;
}

// Skips a test that runs the programs as kNobody when that user cannot start
// them; the reason is given once at the start of the run.
// Under FastCGI as root, the long-lived processes run as root too.
#define SKIP_UNLESS_UNPRIVILEGED_RUNS_CAN_START()                             \
    if (!unprivileged_runs_can_start()) GTEST_SKIP() << kUnprivilegedRunsNote; \
    if (geteuid() == 0) SKIP_UNDER_FASTCGI("the run as another user")

// Runs the program as kNobody when the tests run as root, so that
// permission bits hold; as anyone else the run is left as it is.
inline RunControl without_privileges() {
    RunControl control;
    if (geteuid() == 0)
        control.before_exec = [] {
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(126);
        };
    return control;
}

// Lets another user reach the install tree and append to its logs, as a web
// server's user would: the root folder open for reading, the logs writable.
inline void open_tree_to_others(const Install& shop) {
    chmod(shop.root().c_str(), 0755);
    for (const char* log : {"runlog.txt", "errlog.txt"}) {
        if (!shop.exists(log)) shop.put(log, "");
        chmod(shop.path(log).c_str(), 0666);
    }
}

// A profile file's value as the programs read it; nothing when the file, the
// section or the key is missing.
inline std::optional<std::string> profile_value(const Install& shop, const std::string& rel,
                                                const std::string& section, const std::string& key) {
    if (!shop.exists(rel)) return std::nullopt;
    const profile::Document doc = profile::Document::parse(shop.get(rel));
    const auto value = doc.get(section, key);
    if (!value) return std::nullopt;
    return std::string(*value);
}

// Every regular file under the install tree, by its path in the tree, with
// its bytes.
inline std::map<std::string, std::string> files_of(const Install& shop) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(shop.root()))
        if (entry.is_regular_file()) {
            const std::string rel = entry.path().string().substr(shop.root().size() + 1);
            files[rel] = shop.get(rel);
        }
    return files;
}
