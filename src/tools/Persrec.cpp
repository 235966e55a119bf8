#include "tools/Persrec.h"

#include <algorithm>
#include <cstring>

#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"
#include "regclean/PathRoutinesUnit.h"

namespace tools {

const char* const kJunkFileName = "JunkFile.dat";

namespace {

constexpr const char* kBeyondEndMessage = "Cannot read beyond end of file";

// Mask, a comma and the description.
const char* const kDefaultTypes[] = {
    "*.swp,  Temporary Junk Files",
    "*.$$$,  Temporary Junk Files",
    "*.~*,  Temporary Junk Files",
    "*.___,  Temporary Junk Files",
    "*.^,  Temporary Junk Files",
    "*.tmp,  Temporary Junk Files",
    "*.temp,  Temporary Junk Files",
    "*.---,  Temporary Junk Files",
    "~*.*,  Temporary Junk Files",
    "*.??~,  Temporary Junk Files",
    "*.db$,  Temporary Files (Database)",
    "*.nch,  Temporary Files created by Outlook Express",
    "*.pch,  Visual Studio Temporary Files",
    "*.ncb,  Visual Studio Temporary Files",
    "*.ilk,  Visual Studio Temporary Files",
    "*.exp,  Visual Studio Temporary Files",
    "*.ilc,  C++ Builder Temporary Files",
    "*.ild,  C++ Builder Temporary Files",
    "*.ils,  C++ Builder Temporary Files",
    "*.ilf,  C++ Builder Temporary Files",
    "*.tds,  C++ Builder Temporary Files",
    "iebak.dat,  Internet Explorer Junk File",
    "ffastun.*,  Microsoft Find Fast Indexer File",
    "chklist.*,  Microsoft Junk File",
    "*.sik,  junk files...",
    "*.gid,  Windows Help Index Files",
    "*.fts,  Word List File of *.HLP",
    "*.ftg,  Word List File of *.HLP",
    "*.err,  Error Files",
    "*.dmp,  Memory Dump - Junk Files",
    "*.chk,  CHKDSK Log Files",
    "chklist.*,  CHKDSK Log Files",
    "file????._dd,  CHKDSK Log Files",
    "*.diz,  Description Files",
    "*.log,  Log File",
    "*.prv,  Backup Files",
    "*.old,  Backup Files",
    "*.bak,  Backup Files",
    "*.nu3,  Symantec Norton Utilities Backup File",
    "system.1st,  Windows diagnostic Registry file",
    "suhdlog.dat,  Windows diagnostic file",
    "modemdet.txt, Windows diagnostic file",
    "twain???.mtx,  TWAIN Temporary file",
    "thumbs.db,  ThumbNails created by Windows",
    "mscreate.dir,  Microsoft Temporary Installation Files",
    "*.wri,  Readme Files",
    "readme.txt,  Readme Files",
};

// ANSI bytes cut to 100, never through a double-byte character.
std::string CutAnsi(const std::string& ansi) {
  if (ansi.size() <= static_cast<std::size_t>(kJunkTextLength)) return ansi;
  std::size_t length = 0;
  while (length < static_cast<std::size_t>(kJunkTextLength)) {
    const std::size_t step = win::IsDBCSLeadByte(static_cast<std::uint8_t>(ansi[length])) ? 2 : 1;
    if (length + step > static_cast<std::size_t>(kJunkTextLength)) break;
    length += step;
  }
  return ansi.substr(0, length);
}

void PutText(std::uint8_t* field, const std::string& text) {
  const std::string ansi = CutAnsi(win::Utf8ToAnsi(text));
  field[0] = static_cast<std::uint8_t>(ansi.size());
  std::memcpy(field + 1, ansi.data(), ansi.size());
}

std::string GetText(const std::uint8_t* field) {
  const std::size_t length = std::min<std::size_t>(field[0], kJunkTextLength);
  return win::AnsiToUtf8(std::string(reinterpret_cast<const char*>(field + 1), length));
}

}  // namespace

JunkRecordBytes EncodeJunkRecord(const TJunkFileType& type) {
  JunkRecordBytes record{};
  record[0] = type.Checked ? 1 : 0;
  PutText(record.data() + 1, type.Mask);
  PutText(record.data() + 1 + 1 + kJunkTextLength, type.Description);
  return record;
}

TJunkFileType DecodeJunkRecord(const std::uint8_t* record) {
  TJunkFileType type;
  type.Checked = record[0] != 0;
  type.Mask = GetText(record + 1);
  type.Description = GetText(record + 1 + 1 + kJunkTextLength);
  return type;
}

std::string CutJunkText(const std::string& text) { return win::AnsiToUtf8(CutAnsi(win::Utf8ToAnsi(text))); }

TRecordStream::TRecordStream(std::string fileName, Mode mode) : fileName_(std::move(fileName)), mode_(mode) {
  open_ = mode_ == Mode::Create || win::ReadFileBytes(fileName_, data_);
  if (!open_) data_.clear();
}

std::int64_t TRecordStream::RecordCount() const {
  return static_cast<std::int64_t>(data_.size()) / RecordSize();
}

std::int64_t TRecordStream::CurrentRecord() const { return position_ / RecordSize() + 1; }

void TRecordStream::AppendRecord(const void* record) {
  const auto* bytes = static_cast<const std::uint8_t*>(record);
  data_.insert(data_.end(), bytes, bytes + RecordSize());
  position_ = static_cast<std::int64_t>(data_.size());
}

bool TRecordStream::PeekRecord(void* record) const {
  if (position_ < 0 || position_ + RecordSize() > static_cast<std::int64_t>(data_.size())) return false;
  std::memcpy(record, data_.data() + position_, static_cast<std::size_t>(RecordSize()));
  return true;
}

bool TRecordStream::SeekNext(std::string* error) {
  if ((position_ + RecordSize()) / RecordSize() == RecordCount()) {
    if (error) *error = kBeyondEndMessage;
    return false;
  }
  position_ += RecordSize();
  return true;
}

bool TRecordStream::Close() {
  if (mode_ != Mode::Create || !open_) return open_;
  open_ = false;
  return win::WriteFileBytes(fileName_, data_);
}

std::string JunkFilePath() { return win::IncludeTrailingBackslash(win::ProgramFolder()) + kJunkFileName; }

std::vector<TJunkFileType> DefaultJunkTypes() {
  std::vector<TJunkFileType> types;
  for (const char* entry : kDefaultTypes) {
    const std::string text = entry;
    const std::size_t comma = text.find(',');
    TJunkFileType type;
    type.Mask = text.substr(0, comma);
    type.Description = regclean::Trim(text.substr(comma + 1));
    types.push_back(std::move(type));
  }
  return types;
}

void LoadJunkTypes(std::vector<TJunkFileType>& types) {
  types.clear();
  const std::string path = JunkFilePath();
  if (!win::FileExists(path)) {
    CreateDefaultJunkTypes(types);
    return;
  }
  TRecordStream stream(path, TRecordStream::Mode::OpenRead);
  if (stream.RecordCount() <= 0) return;
  types.reserve(static_cast<std::size_t>(stream.RecordCount()));
  JunkRecordBytes record{};
  stream.SeekFirst();
  while (stream.CurrentRecord() <= stream.RecordCount() && stream.PeekRecord(record.data())) {
    types.push_back(DecodeJunkRecord(record.data()));
    if (stream.CurrentRecord() == stream.RecordCount() || !stream.SeekNext()) break;
  }
}

void CreateDefaultJunkTypes(std::vector<TJunkFileType>& types) {
  for (TJunkFileType& type : DefaultJunkTypes()) types.push_back(std::move(type));
  SaveJunkTypes(types);
}

bool SaveJunkTypes(const std::vector<TJunkFileType>& types) {
  TRecordStream stream(JunkFilePath(), TRecordStream::Mode::Create);
  for (const TJunkFileType& type : types) {
    const JunkRecordBytes record = EncodeJunkRecord(type);
    stream.AppendRecord(record.data());
  }
  return stream.Close();
}

}  // namespace tools
