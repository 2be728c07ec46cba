#include "platform/output.h"

#include <unistd.h>

#include "common/reply_headers.h"
#include "platform/files.h"

namespace reply {
namespace {
// The reply written outside a Building.
std::string& loose_bytes() {
    static std::string bytes;
    return bytes;
}
Building*& open_reply() {
    static Building* open = nullptr;
    return open;
}
}  // namespace

Building::Building() : outer_(open_reply()) { open_reply() = this; }

Building::~Building() { open_reply() = outer_; }

Reply Building::complete(Done done) const { return {done.status, with_safety_headers(bytes_, no_store_)}; }

void write(std::string_view bytes) {
    if (Building* open = open_reply()) open->bytes_.append(bytes);
    else loose_bytes().append(bytes);
}

void forbid_caching() {
    if (Building* open = open_reply()) open->no_store_ = true;
}

std::string take() {
    std::string out;
    out.swap(loose_bytes());
    return out;
}

void send(const Reply& reply) { files::write_all(STDOUT_FILENO, reply.bytes); }

}  // namespace reply
