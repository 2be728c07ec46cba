#include "basket/generated_name.h"

#include "common/limits.h"
#include "platform/clock.h"
#include "platform/files.h"

std::string generated_name(std::int32_t first, std::int32_t second, const std::string& suffix) {
    return std::to_string(first) + "." + std::to_string(second) + suffix;
}

NewFile create_generated_file(const std::string& folder, const std::string& suffix) {
    for (;;) {
        const std::int32_t first = timing::tick_count();
        timing::sleep_ms(limits::kNameWaitMs);
        std::int32_t second = timing::tick_count();
        // Differences are taken in 32 bits, so the wrap of the counter is harmless.
        while (static_cast<std::int32_t>(static_cast<std::uint32_t>(second) - static_cast<std::uint32_t>(first)) <
               limits::kNameWaitMs) {
            timing::sleep_ms(1);
            second = timing::tick_count();
        }
        const std::string name = generated_name(first, second, suffix);
        switch (files::create_new(folder + name)) {
            case files::Created::created:
                return {name, true};
            case files::Created::failed:
                return {name, false};
            case files::Created::exists:
                break;  // another run has it: make another
        }
    }
}
