#pragma once
// The program's one random generator, seeded once from the clock. Tests
// replace it with a function of their own.

#include <cstdint>
#include <functional>

namespace win {

// A number from 0 to range - 1 (0 when range is 0).
std::uint32_t Random(std::uint32_t range);

// Replaces the generator; an empty function restores the seeded one.
void SetRandomGenerator(std::function<std::uint32_t(std::uint32_t range)> generator);

}  // namespace win
