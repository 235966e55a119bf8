#include "regclean/ProvenRegBackupUnit.h"

#include <utility>

#include "platform/files/FileSystem.h"
#include "regclean/RegValueExportUnit.h"
#include "regclean/SectionContractUnit.h"

namespace regclean {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Bytes gathered before they go to the file.
constexpr std::size_t kWritePiece = 1 << 20;

// The first refusal among an entry's blocks; empty when the file holds them.
std::string EntryRefusal(const std::vector<win::RegFileKey>& blocks) {
  for (const win::RegFileKey& block : blocks) {
    std::string refusal = RegBlockRefusal(block);
    if (!refusal.empty()) return refusal;
  }
  return {};
}

// Hands each entry that has blocks to take, marking instead those the file
// cannot hold; take stops it with false. True when an entry was taken.
bool TakeHeldEntries(std::size_t entries, const RegBackupBlocksOf& blocksOf, ProvenRegBackup& result,
                 const std::function<bool(const std::vector<win::RegFileKey>&)>& take) {
  std::vector<win::RegFileKey> blocks;
  bool any = false;
  for (std::size_t i = 0; i < entries; ++i) {
    blocks.clear();
    blocksOf(i, blocks);
    if (blocks.empty()) continue;
    std::string refusal = EntryRefusal(blocks);
    if (!refusal.empty()) {
      result.refused[i] = true;
      if (result.firstRefusal.empty()) result.firstRefusal = std::move(refusal);
      continue;
    }
    any = true;
    if (!take(blocks)) return any;
  }
  return any;
}

}  // namespace

std::vector<win::RegFileKey> RegBackupBlocks(const RegBackupEntry& entry) {
  std::vector<win::RegFileKey> blocks;
  win::HKEY root = 0;
  std::string subKey;
  if (entry.kind == RegBackupEntry::Kind::Value) {
    win::RegFileKey block;
    if (ReadRegValueBlock(entry.keyPath, entry.valueName, block)) blocks.push_back(std::move(block));
  } else if (SplitFullKeyPath(entry.keyPath, root, subKey) && !subKey.empty()) {
    ReadRegKeyBlocks(entry.keyPath, blocks);
  }
  return blocks;
}

ProvenRegBackup WriteProvenRegBackup(const std::string& fileName, std::size_t entries,
                                     const RegBackupBlocksOf& blocksOf) {
  ProvenRegBackup result;
  result.refused.assign(entries, false);
  bool produced = false;
  bool any = false;
  bool sinkFailed = false;
  const bool written = win::WriteFileWith(fileName, [&](const win::ByteSink& write) {
    produced = true;
    Bytes bytes = RegLinesToFileBytes({RegFileHeaderLine()});
    std::vector<std::string> lines;
    any = TakeHeldEntries(entries, blocksOf, result, [&](const std::vector<win::RegFileKey>& blocks) {
      lines.clear();
      for (const win::RegFileKey& block : blocks) AppendRegBlockLines(block, lines);
      const Bytes piece = RegLinesToFileBytes(lines, false);
      bytes.insert(bytes.end(), piece.begin(), piece.end());
      if (bytes.size() < kWritePiece) return true;
      sinkFailed = !write(bytes.data(), bytes.size());
      bytes.clear();
      return !sinkFailed;
    });
    if (!any || sinkFailed) return false;
    sinkFailed = !write(bytes.data(), bytes.size());
    return !sinkFailed;
  });
  if (!produced) {
    // The file could not even be started: it fails only when it had
    // something to hold.
    const win::DWORD code = win::GetLastError();
    result.ok = !TakeHeldEntries(entries, blocksOf, result, [](const auto&) { return false; });
    if (!result.ok) result.difference = fileName + ": cannot write the file (error " + std::to_string(code) + ")";
    return result;
  }
  if (!written) {
    result.ok = !any;
    if (any) result.difference = fileName + ": cannot write the file";
    return result;
  }

  // The proof: the entries again, block by block, against the file.
  std::size_t next = 0;
  std::vector<win::RegFileKey> blocks;
  std::size_t taken = 0;
  const win::RegKeyPull expected = [&](win::RegFileKey& key) {
    while (taken == blocks.size()) {
      while (next < entries && result.refused[next]) ++next;
      if (next == entries) return false;
      blocks.clear();
      taken = 0;
      blocksOf(next++, blocks);
    }
    key = std::move(blocks[taken++]);
    return true;
  };
  const win::ByteSource source = [&fileName](const win::ByteSink& take) {
    return win::ReadFileChunks(fileName, take);
  };
  if (!win::ProveRegFile(source, fileName, RegBackupFormat(), expected, result.difference)) {
    win::DeleteFile(fileName);
    result.ok = false;
    return result;
  }
  result.written = true;
  return result;
}

}  // namespace regclean
