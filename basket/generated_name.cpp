#include "basket/generated_name.h"

#include <optional>

#include "platform/files.h"
#include "platform/random.h"

std::string generated_name(std::uint64_t first, std::uint64_t second, const std::string& suffix) {
    return std::to_string(first) + "." + std::to_string(second) + suffix;
}

NewFile create_generated_file(const std::string& folder, const std::string& suffix) {
    for (;;) {
        const std::optional<std::uint64_t> first = entropy::random_64();
        const std::optional<std::uint64_t> second = entropy::random_64();
        if (!first || !second) return {std::string(), false};
        const std::string name = generated_name(*first, *second, suffix);
        switch (files::create_new(folder + name)) {
            case files::Created::created:
                return {name, true};
            case files::Created::failed:
                return {name, false};
            case files::Created::exists:
                break;  // taken already: draw again
        }
    }
}
