#include "platform/output.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

#include "platform/profile.h"

namespace reply {
namespace {
std::string& buffer() {
    static std::string bytes;
    return bytes;
}
}  // namespace

void write(std::string_view bytes) { buffer().append(bytes); }

std::string take() {
    std::string out;
    out.swap(buffer());
    return out;
}

void finish(int status) {
    profile::commit_all();
    const std::string& bytes = buffer();
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;  // the server went away; nothing left to tell it
        }
        done += static_cast<std::size_t>(n);
    }
    std::exit(status);
}

}  // namespace reply
