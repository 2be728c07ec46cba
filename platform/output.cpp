#include "platform/output.h"

#include <unistd.h>

#include "common/reply_headers.h"
#include "platform/files.h"

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

Reply complete(Done done) {
    Reply out{done.status, with_safety_headers(buffer(), no_store())};
    buffer().clear();
    no_store() = false;
    return out;
}

void send(const Reply& reply) { files::write_all(STDOUT_FILENO, reply.bytes); }

}  // namespace reply
