#pragma once
// A large generated machine for timing: the sample machine plus many keys and
// values shaped like those of a long-used Windows installation (COM classes,
// interfaces, type libraries, file types, services, devices, programs' machine
// and user settings).

#include <cstdint>
#include <string>
#include <vector>

namespace win {

class RegistryStore;

struct SyntheticCounts {
  std::uint64_t keys = 0;
  std::uint64_t values = 0;
};

constexpr std::uint64_t kDefaultSyntheticKeys = 400000;

// The share of the programs' files and folders named in the registry that are
// not on the drive, in percent. At 100 none is, and about 60% of all file
// references point at nothing (the rest name system files).
constexpr unsigned kDefaultSyntheticMissing = 100;

// Windows paths of the programs' files and folders that a generated registry
// names and that are to be on the drive.
struct SyntheticFiles {
  std::vector<std::string> files;
  std::vector<std::string> folders;
};

// Adds about keyCount keys (about three values each) to the store in one
// batch. The same seed gives the same registry whatever missingPercent is;
// files (when given) gets the paths that are not missing.
bool FillSyntheticRegistry(RegistryStore& store, std::uint64_t keyCount, std::uint32_t seed,
                           SyntheticCounts& counts, std::string& error,
                           unsigned missingPercent = kDefaultSyntheticMissing, SyntheticFiles* files = nullptr);

// Creates the machine at folder (all or nothing, as CreateMachine), with the
// files that are not missing made (empty) on drive C.
bool CreateSyntheticMachine(const std::string& folder, std::uint64_t keyCount,
                            SyntheticCounts& counts, std::string& error,
                            unsigned missingPercent = kDefaultSyntheticMissing);

}  // namespace win
