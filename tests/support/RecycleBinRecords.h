#pragma once
// The records of a drive's INFO2, read byte by byte as the format lays them
// out, so that a test can put recycled items back as Windows would.

#include <cstdint>
#include <string>
#include <vector>

struct RecycledItem {
  std::string originalPath;  // UTF-8; from the UTF-16 field when the record has one
  std::string ansiPath;      // the ANSI field as it stands (bytes)
  std::uint32_t number = 0;
  std::uint32_t drive = 0;   // 0 for A:
  std::uint64_t deletedAt = 0;
  std::uint32_t size = 0;
  std::string inBin;         // "C:\Recycled\Dc<n><ext>"
};

struct Info2File {
  bool present = false;
  std::uint32_t version = 0;
  std::uint32_t recordSize = 0;
  std::size_t bytes = 0;
  std::vector<RecycledItem> items;
};

// INFO2 of drive letter's bin on the current machine.
Info2File ReadInfo2(char letter);
