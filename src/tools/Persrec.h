#pragma once
// "JunkFile.dat": the junk-file cleaner's file types as fixed 203-byte
// records, read and written through TRecordStream, and the 47 default types.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tools {

constexpr int kJunkRecordSize = 203;
constexpr int kJunkTextLength = 100;
extern const char* const kJunkFileName;  // "JunkFile.dat"

// One file type. Texts are UTF-8 in memory and ANSI in the file; each fits
// in 100 ANSI characters (CutJunkText).
struct TJunkFileType {
  bool Checked = true;
  std::string Mask;
  std::string Description;
};

using JunkRecordBytes = std::array<std::uint8_t, kJunkRecordSize>;

// The record of a type: checked byte 0 or 1, then mask and description as a
// length byte and 100 bytes of ANSI text padded with zeros.
JunkRecordBytes EncodeJunkRecord(const TJunkFileType& type);
// A length byte above 100 counts as 100; any non-zero checked byte as 1.
TJunkFileType DecodeJunkRecord(const std::uint8_t* record);
// The text as the file can hold it: in the machine's code page, cut to 100
// characters.
std::string CutJunkText(const std::string& text);

// A stream of fixed-size records over one file. Opened for reading it holds
// the file's bytes; created for writing it collects the appended records and
// Close writes them through a temporary file and a rename.
class TRecordStream {
 public:
  enum class Mode { OpenRead, Create };
  TRecordStream(std::string fileName, Mode mode);
  virtual ~TRecordStream() = default;
  TRecordStream(const TRecordStream&) = delete;
  TRecordStream& operator=(const TRecordStream&) = delete;

  // False when the file could not be read (OpenRead).
  bool IsOpen() const { return open_; }
  virtual int RecordSize() const { return kJunkRecordSize; }
  std::int64_t RecordCount() const;
  // 1-based number of the record at the position.
  std::int64_t CurrentRecord() const;
  void AppendRecord(const void* record);
  // Reads the record at the position; the position stays. False past the end.
  bool PeekRecord(void* record) const;
  void SeekFirst() { position_ = 0; }
  // Moves to the next record; on the last one it fails with error
  // "Cannot read beyond end of file" and stays.
  bool SeekNext(std::string* error = nullptr);
  // Writes a created stream's file; true when it is complete on disk.
  bool Close();

 private:
  std::string fileName_;
  Mode mode_;
  bool open_ = false;
  std::vector<std::uint8_t> data_;
  std::int64_t position_ = 0;
};

// "JunkFile.dat" beside the program.
std::string JunkFilePath();
// The 47 default types, in order, all ticked.
std::vector<TJunkFileType> DefaultJunkTypes();
// Replaces types with the file's records; without a file, with the defaults,
// which are saved. A file shorter than one record gives no types.
void LoadJunkTypes(std::vector<TJunkFileType>& types);
// Appends the defaults and saves the list.
void CreateDefaultJunkTypes(std::vector<TJunkFileType>& types);
// Writes the list; false (and the old file kept) when it cannot be written.
bool SaveJunkTypes(const std::vector<TJunkFileType>& types);

}  // namespace tools
