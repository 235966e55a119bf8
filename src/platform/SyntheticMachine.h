#pragma once
// A large generated machine for timing: the sample machine plus many keys and
// values shaped like those of a long-used Windows installation (COM classes,
// interfaces, type libraries, file types, services, devices, programs' machine
// and user settings).

#include <cstdint>
#include <string>

namespace win {

class RegistryStore;

struct SyntheticCounts {
  std::uint64_t keys = 0;
  std::uint64_t values = 0;
};

constexpr std::uint64_t kDefaultSyntheticKeys = 400000;

// Adds about keyCount keys (about three values each) to the store in one
// batch. The same seed gives the same registry.
bool FillSyntheticRegistry(RegistryStore& store, std::uint64_t keyCount, std::uint32_t seed,
                           SyntheticCounts& counts, std::string& error);

// Creates the machine at folder (all or nothing, as CreateMachine).
bool CreateSyntheticMachine(const std::string& folder, std::uint64_t keyCount,
                            SyntheticCounts& counts, std::string& error);

}  // namespace win
