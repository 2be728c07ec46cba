// The profile store: every read and write of a profile file (configuration,
// basket files, item tables, modifier files, batch counters) goes through
// here. A file is parsed once per run and kept; a write replaces the file
// whole through a temporary file and a rename, so a reader never sees it torn.
//
// A command that reads a file and then writes it holds a Lock on it for the
// whole time: taking the lock parses the file afresh, and a write made
// without a lock takes one just for itself. Within a request
// (RequestWrites) writes are stored only when the command stores them
// (store_now); elsewhere they are stored when the lock is released.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/limits.h"

namespace profile {

// The value, cut to `room` characters; `fallback` (cut the same way) when the
// file, the section or the key is missing.
std::string read_text(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view fallback = {}, std::size_t room = limits::kProfileValue);

// The whole value, or nothing when the file, the section or the key is missing.
std::optional<std::string> read_value(const std::string& path, std::string_view section, std::string_view key);

// The value's leading decimal number; `fallback` when the key is missing.
int read_int(const std::string& path, std::string_view section, std::string_view key, int fallback = 0);

// Every n, in ascending order, for which the file has a section named n in
// decimal. Loops over numbered lines visit these alone: every other number
// names a missing section, which reads as empty.
std::vector<long long> numbered_sections(const std::string& path);

// Every n, in ascending order, for which the section has a key named
// `prefix` followed by n ("option1", "a4"). Loops over numbered keys visit
// these alone: every other number names a missing key, which reads as empty.
std::vector<long long> numbered_keys(const std::string& path, std::string_view section, std::string_view prefix);

// Sets the key to `value`; an absent value removes the key. Failures are not
// reported: a file that cannot be written keeps what it held.
void write(const std::string& path, std::string_view section, std::string_view key,
           const std::optional<std::string>& value);
void write(const std::string& path, std::string_view section, std::string_view key, std::string_view value);
inline void write(const std::string& path, std::string_view section, std::string_view key, const std::string& value) {
    write(path, section, key, std::string_view(value));
}
inline void write(const std::string& path, std::string_view section, std::string_view key, const char* value) {
    write(path, section, key, std::string_view(value));
}
void remove(const std::string& path, std::string_view section, std::string_view key);

// An exclusive lock on one file, from construction to destruction (within a
// request, to the store of its writes when some are pending). Locks on the same file nest. Where no lock can be had (a
// missing directory, a path that is not a regular file) the run goes on
// without one, and its writes fail as they would anyway.
// How a file is stored: `synced` files (the shop's configuration and its
// counters) reach the disk before they replace the old file, so that a power
// cut leaves them whole; others are replaced without waiting for the disk.
enum class Durability { cached, synced };

// Whether the file's last place may be a symbolic link. `refused`, for the
// shop tool run as root over files that another user can replace: the file
// is opened without following a link and never created, it is read through
// the locked descriptor, and its writes are stored only while it is locked.
// A link, a missing file or anything but a regular file leaves the run
// without a lock, reading the file as empty, and drops its writes.
enum class Links { followed, refused };

class Lock {
public:
    explicit Lock(std::string path, Durability durability = Durability::cached, Links links = Links::followed);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    std::string path_;
};

// The owner and link count of the file a Lock holds; nothing when the run
// holds no lock on it.
struct Held {
    unsigned long long owner = 0;
    unsigned long long links = 0;
};
std::optional<Held> held(const std::string& path);

// Stores the pending writes of a file now, keeping its Lock while one is
// held (a file whose Lock has gone, its writes held by a RequestWrites, is
// released). False when they could not be stored: the file keeps what it
// held and the writes are dropped. True when nothing was pending.
bool store_now(const std::string& path);

// The writes of one request. While a RequestWrites is open, a write stays
// pending, also after its Lock goes, until the command stores it with
// store_now: the file stays locked meanwhile, so that no other run changes
// it under writes not yet stored. Closing it drops every write
// not stored, releases every lock and forgets every kept parse, so that a
// refused request stores nothing and the next request reads the files
// afresh. Without one (the shop tool) a write is stored when its Lock
// goes. At most one is open at a time.
class RequestWrites {
public:
    RequestWrites();
    ~RequestWrites();
    RequestWrites(const RequestWrites&) = delete;
    RequestWrites& operator=(const RequestWrites&) = delete;
};

// From now on in this run, writes that would make the file longer than
// `bytes` are not stored: the file keeps what it held and they are dropped,
// as when a store fails.
void limit_size(const std::string& path, std::size_t bytes);

// What became of a file offered to remove_if_idle.
enum class Removal { removed, kept, in_use, failed };

// Removes a profile file that no run is changing: it takes the file's lock
// without waiting (a run holding it leaves the file `in_use`), asks
// `wanted` with the size and last change (seconds since the epoch) of the
// file it locked, and removes it when that is still the file at `path`. A
// run that waited for the lock meanwhile finds the file gone and starts
// afresh. Only regular files are removed.
Removal remove_if_idle(const std::string& path, const std::function<bool(long long size, long long changed)>& wanted);

// Stores every pending write and releases every lock; run before the
// process ends.
void commit_all();

// Forgets every kept parse (for tests that change files between runs).
void forget_all();

}  // namespace profile
