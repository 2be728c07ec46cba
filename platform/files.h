// Plain files: reading merchant files whole, appending whole records,
// creating files that must not exist yet, and the program directory.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace files {

// The whole content of a regular file; nothing when it cannot be opened or
// is not a regular file (a directory counts as a file that cannot be opened).
std::optional<std::string> read(const std::string& path);

// The whole content of an open regular file, read from its start; nothing
// when it is not a regular file.
std::optional<std::string> read_descriptor(int fd);

// The whole content of a file this process's user may send as its own: a
// regular file with one link, owned by that user, opened without following a
// link in its last place. Nothing, with `why`, otherwise; `refused` tells a
// file that is not such a file from one that cannot be opened or read.
std::optional<std::string> read_own_file(const std::string& path, std::string& why, bool& refused);

// Appends `record` to the file in one write under an exclusive lock, creating
// the file when missing, so that records of concurrent runs never interleave.
// A record that cannot be written whole leaves the file as it was. False when
// the file cannot be opened; a symbolic link in the last place of the path
// counts as such, so that nobody can plant one to have us write elsewhere. A
// failed write is not reported.
bool append(const std::string& path, std::string_view record);

// Writes `content` over the whole of an existing file. False when the file
// cannot be opened or `content` cannot be written whole.
bool write_whole(const std::string& path, std::string_view content);

// Whether `path` is a regular file (a symbolic link to one counts), or a folder.
bool is_regular_file(const std::string& path);
bool is_directory(const std::string& path);

// Removes a file; a file that is not there is no error.
void remove(const std::string& path);
// Up to `bytes` bytes of standard input: fewer when it ends or fails first.
std::string read_standard_input(std::size_t bytes);

// Writes all of `bytes` to `fd`, going on after interruptions and partial
// writes. False when a write fails; what was written stays written.
bool write_all(int fd, std::string_view bytes);

enum class Created { created, exists, failed };

// Creates an empty file that must not exist yet.
Created create_new(const std::string& path);

// Creates a file that must not exist yet, readable and writable by its owner
// alone whatever the umask, with `content` synced to disk; a symbolic link
// at `path` is not followed. A file that cannot be written whole is removed
// again and `failed` returned.
Created create_owner_only(const std::string& path, std::string_view content);

// Takes every permission for others from the files and folders this run
// creates, whatever umask the web server handed down: baskets, order mails
// and batch files hold card numbers. Called first thing at start-up.
void keep_new_files_private();

// The program directory: the program path up to and including its last "/",
// or empty text (the current directory) when it has none.
std::string program_directory(std::string_view program_path);

// `path` from the root: the current directory before it when it is relative.
std::string absolute_path(std::string_view path);

// Makes `folder` the current directory (the current one stays when it is
// empty); false when it cannot be entered.
bool enter_folder(const std::string& folder);

}  // namespace files
