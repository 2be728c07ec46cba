// Random numbers from the kernel, for names that a stranger must not guess.
#pragma once
#include <cstdint>
#include <optional>

namespace entropy {

// 64 bits from the kernel's random source (getrandom(2)); nothing when the
// kernel gives none, never a weaker number in their place.
std::optional<std::uint64_t> random_64();

}  // namespace entropy
