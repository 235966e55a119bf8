#pragma once
// A .reg backup that proves itself before anything is deleted: written
// entry by entry, leaving out whole every entry that the file's form cannot
// hold, then read back in pieces with the reader that "Regedit /s" uses and
// compared with what the registry held. Serves the repair backup and the
// add-on manager's backups.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry/RegFile.h"

namespace regclean {

// What one entry saves, read from the registry when it is written.
struct RegBackupEntry {
  enum class Kind {
    Value,  // the value `valueName` (real name; empty = unnamed) under `keyPath`
    Key,    // the key `keyPath` with its values and subkeys
  };
  Kind kind = Kind::Value;
  std::string keyPath;  // root name first
  std::string valueName;
};

// The blocks of an entry as the registry holds them now; none when it is
// missing (a key that is a root saves nothing: roots are never deleted).
std::vector<win::RegFileKey> RegBackupBlocks(const RegBackupEntry& entry);

// Fills the blocks of entry i; asked twice for each entry, to write the file
// and to prove it, and must give the same both times.
using RegBackupBlocksOf = std::function<void(std::size_t entry, std::vector<win::RegFileKey>& blocks)>;

struct ProvenRegBackup {
  // Nothing to write, or the file is written and proven.
  bool ok = true;
  bool written = false;
  // Per entry: a .reg file cannot hold all of it, so it is not in the file.
  std::vector<bool> refused;
  std::string firstRefusal;  // what the first refused entry could not hold
  std::string difference;    // why the proof failed
};

// Writes the header and the blocks of every entry that a file of this
// machine's form (RegBackupFormat) can hold, then proves the file. No file
// is written when no entry has a block; when writing or the proof fails,
// nothing this call wrote stays.
ProvenRegBackup WriteProvenRegBackup(const std::string& fileName, std::size_t entries,
                                     const RegBackupBlocksOf& blocksOf);

}  // namespace regclean
