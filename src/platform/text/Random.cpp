#include "platform/text/Random.h"

#include <chrono>
#include <random>

namespace win {

namespace {

std::function<std::uint32_t(std::uint32_t)>& Override() {
  static std::function<std::uint32_t(std::uint32_t)> generator;
  return generator;
}

std::mt19937& Engine() {
  static std::mt19937 engine(static_cast<std::uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^
      std::chrono::system_clock::now().time_since_epoch().count()));
  return engine;
}

}  // namespace

std::uint32_t Random(std::uint32_t range) {
  if (range == 0) return 0;
  if (Override()) return Override()(range) % range;
  return std::uniform_int_distribution<std::uint32_t>(0, range - 1)(Engine());
}

void SetRandomGenerator(std::function<std::uint32_t(std::uint32_t range)> generator) {
  Override() = std::move(generator);
}

}  // namespace win
