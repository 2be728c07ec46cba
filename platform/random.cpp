#include "platform/random.h"

#include <cerrno>
#include <sys/random.h>
#include <sys/types.h>

namespace entropy {

std::optional<std::uint64_t> random_64() {
    std::uint64_t value = 0;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&value);
    std::size_t got = 0;
    while (got < sizeof value) {
        // Blocks only until the kernel's pool is first filled after boot.
        ssize_t n = getrandom(bytes + got, sizeof value - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        got += static_cast<std::size_t>(n);
    }
    return value;
}

}  // namespace entropy
