#include "tools/Persrec.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"

namespace {

using tools::TJunkFileType;

const char* const kProgramFolder = "C:\\Program Files\\Fernwick\\\n";

std::vector<std::uint8_t> FileBytes() {
  std::vector<std::uint8_t> data;
  win::ReadFileBytes(tools::JunkFilePath(), data);
  return data;
}

void WriteFile(const std::vector<std::uint8_t>& data) {
  ASSERT_TRUE(win::WriteFileBytes(tools::JunkFilePath(), data));
}

// A record with a checked byte and raw field bytes.
std::vector<std::uint8_t> Record(std::uint8_t checked, const std::string& mask, const std::string& description,
                                 std::uint8_t filler = 0) {
  std::vector<std::uint8_t> record(tools::kJunkRecordSize, filler);
  record[0] = checked;
  record[1] = static_cast<std::uint8_t>(mask.size());
  std::copy(mask.begin(), mask.end(), record.begin() + 2);
  record[102] = static_cast<std::uint8_t>(description.size());
  std::copy(description.begin(), description.end(), record.begin() + 103);
  return record;
}

TEST(Persrec, NoFileGivesTheDefaultsAndWritesThem) {
  TestMachine machine("", kProgramFolder);
  std::vector<TJunkFileType> types{{false, "old", "left over"}};
  tools::LoadJunkTypes(types);

  ASSERT_EQ(types.size(), 47u);
  for (const TJunkFileType& type : types) EXPECT_TRUE(type.Checked) << type.Mask;
  EXPECT_EQ(types[0].Mask, "*.swp");
  EXPECT_EQ(types[0].Description, "Temporary Junk Files");
  EXPECT_EQ(types[23].Mask, "chklist.*");
  EXPECT_EQ(types[31].Mask, "chklist.*");
  EXPECT_EQ(types[31].Description, "CHKDSK Log Files");
  EXPECT_EQ(types[41].Mask, "modemdet.txt");
  EXPECT_EQ(types[41].Description, "Windows diagnostic file");
  EXPECT_EQ(types[26].Description, "Word List File of *.HLP");
  EXPECT_EQ(types[46].Mask, "readme.txt");

  const std::vector<std::uint8_t> data = FileBytes();
  ASSERT_EQ(data.size(), 9541u);
  const std::vector<std::uint8_t> first(data.begin(), data.begin() + 203);
  EXPECT_EQ(first, Record(1, "*.swp", "Temporary Junk Files"));
}

TEST(Persrec, RecordCountIsTheFileSizeDividedByTheRecordSize) {
  TestMachine machine("", kProgramFolder);
  const std::vector<std::uint8_t> record = Record(1, "*.tmp", "Temp");
  for (const auto& [size, count] : std::vector<std::pair<std::size_t, std::size_t>>{
           {0, 0}, {202, 0}, {203, 1}, {406, 2}, {407, 2}}) {
    std::vector<std::uint8_t> data;
    while (data.size() < size) data.insert(data.end(), record.begin(), record.end());
    data.resize(size);
    WriteFile(data);
    std::vector<TJunkFileType> types;
    tools::LoadJunkTypes(types);
    EXPECT_EQ(types.size(), count) << size << " bytes";
    // A short file stays as it is: the defaults do not come back.
    EXPECT_EQ(FileBytes().size(), size);
  }
}

TEST(Persrec, LengthBytesAboveOneHundredReadAsOneHundred) {
  TestMachine machine("", kProgramFolder);
  // The last record of the file, its fields full of letters: reading past a
  // field would reach the next field or past the end of the file.
  std::vector<std::uint8_t> data = Record(7, "", "", 'x');
  data[1] = 255;
  data[102] = 101;
  data[202] = 'y';
  WriteFile(data);
  std::vector<TJunkFileType> types;
  tools::LoadJunkTypes(types);
  ASSERT_EQ(types.size(), 1u);
  EXPECT_TRUE(types[0].Checked);
  EXPECT_EQ(types[0].Mask, std::string(100, 'x'));
  EXPECT_EQ(types[0].Description, std::string(99, 'x') + "y");
}

TEST(Persrec, LoadSaveLoadKeepsTheRecordsAndWritesCleanPadding) {
  TestMachine machine("", kProgramFolder);
  std::vector<std::uint8_t> data = Record(0, "*.tmp", "Temp files", '#');
  const std::vector<std::uint8_t> second = Record(2, "caf\xE9.txt", std::string(100, 'd'));
  data.insert(data.end(), second.begin(), second.end());
  WriteFile(data);

  std::vector<TJunkFileType> types;
  tools::LoadJunkTypes(types);
  ASSERT_EQ(types.size(), 2u);
  EXPECT_FALSE(types[0].Checked);
  EXPECT_EQ(types[1].Mask, "caf\xC3\xA9.txt");  // UTF-8 in memory
  ASSERT_TRUE(tools::SaveJunkTypes(types));

  std::vector<std::uint8_t> expected = Record(0, "*.tmp", "Temp files");
  const std::vector<std::uint8_t> cleanSecond = Record(1, "caf\xE9.txt", std::string(100, 'd'));
  expected.insert(expected.end(), cleanSecond.begin(), cleanSecond.end());
  EXPECT_EQ(FileBytes(), expected);

  std::vector<TJunkFileType> again;
  tools::LoadJunkTypes(again);
  ASSERT_EQ(again.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(again[i].Checked, types[i].Checked);
    EXPECT_EQ(again[i].Mask, types[i].Mask);
    EXPECT_EQ(again[i].Description, types[i].Description);
  }
}

TEST(Persrec, LongTextsAreCutToOneHundredCharacters) {
  TestMachine machine("", kProgramFolder);
  const std::string typed(120, 'a');
  EXPECT_EQ(tools::CutJunkText(typed), std::string(100, 'a'));
  // Characters, not UTF-8 bytes: "é" is one byte in the file.
  std::string accents;
  for (int i = 0; i < 110; ++i) accents += "\xC3\xA9";
  const std::string cut = tools::CutJunkText(accents);
  EXPECT_EQ(cut.size(), 200u);
  const tools::JunkRecordBytes record = tools::EncodeJunkRecord({true, "*.x", accents});
  EXPECT_EQ(record[102], 100);
  EXPECT_EQ(record[103], 0xE9);
}

TEST(Persrec, FailedSaveOfAReadOnlyFileKeepsTheOldFile) {
  TestMachine machine("", kProgramFolder);
  std::vector<TJunkFileType> types;
  tools::LoadJunkTypes(types);
  const std::vector<std::uint8_t> before = FileBytes();
  types.resize(3);

  ASSERT_TRUE(win::SetFileAttributes(tools::JunkFilePath(), win::FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(tools::SaveJunkTypes(types));
  EXPECT_EQ(FileBytes(), before);
}

TEST(Persrec, FailedSaveInAReadOnlyFolderKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "a read-only host folder does not stop root";
  TestMachine machine("", kProgramFolder);
  std::vector<TJunkFileType> types;
  tools::LoadJunkTypes(types);
  const std::vector<std::uint8_t> before = FileBytes();
  types.resize(3);
  const std::string folder = machine.host("C:\\Program Files\\Fernwick");
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  EXPECT_FALSE(tools::SaveJunkTypes(types));
  chmod(folder.c_str(), 0755);
  EXPECT_EQ(FileBytes(), before);
}

TEST(Persrec, RecordStreamMovesRecordByRecord) {
  TestMachine machine("", kProgramFolder);
  std::vector<std::uint8_t> data = Record(1, "a", "");
  const std::vector<std::uint8_t> second = Record(1, "b", "");
  data.insert(data.end(), second.begin(), second.end());
  data.push_back(0);  // a partial record is ignored
  WriteFile(data);

  tools::TRecordStream stream(tools::JunkFilePath(), tools::TRecordStream::Mode::OpenRead);
  ASSERT_TRUE(stream.IsOpen());
  EXPECT_EQ(stream.RecordCount(), 2);
  stream.SeekFirst();
  tools::JunkRecordBytes record{};
  ASSERT_TRUE(stream.PeekRecord(record.data()));
  EXPECT_EQ(stream.CurrentRecord(), 1);  // peeking does not move
  EXPECT_EQ(record[2], 'a');
  std::string error;
  ASSERT_TRUE(stream.SeekNext(&error));
  ASSERT_TRUE(stream.PeekRecord(record.data()));
  EXPECT_EQ(record[2], 'b');
  EXPECT_FALSE(stream.SeekNext(&error));
  EXPECT_EQ(error, "Cannot read beyond end of file");
  EXPECT_EQ(stream.CurrentRecord(), 2);
}

}  // namespace
