#include "platform/output.h"

#include <cstdlib>
#include <unistd.h>

#include "common/reply_headers.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace reply {
namespace {
std::string& buffer() {
    static std::string bytes;
    return bytes;
}
bool& no_store() {
    static bool set = false;
    return set;
}
}  // namespace

void write(std::string_view bytes) { buffer().append(bytes); }

void forbid_caching() { no_store() = true; }

std::string take() {
    std::string out;
    out.swap(buffer());
    return out;
}

void finish(int status) {
    profile::commit_all();
    // A failed write means the server went away: nothing left to tell it.
    files::write_all(STDOUT_FILENO, with_safety_headers(buffer(), no_store()));
    std::exit(status);
}

}  // namespace reply
