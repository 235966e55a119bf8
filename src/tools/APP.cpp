#include "tools/APP.h"

#include <cstdio>

#include "platform/files/FileSystem.h"
#include "platform/shell/FileVersion.h"
#include "regclean/PathRoutinesUnit.h"

namespace {

const char* const kVersionKeys[10] = {"CompanyName",      "FileDescription", "FileVersion", "InternalName",
                                      "LegalCopyright",   "LegalTradeMarks", "OriginalFilename",
                                      "ProductName",      "ProductVersion",  "Comments"};

}  // namespace

void TAppObj::ReadVersionInfo(const std::string& fileName) {
  const std::string appTitle = AppTitle.empty() ? std::string("Fernwick") : AppTitle;
  *this = TAppObj();
  win::DWORD handle = 0;
  const win::DWORD size = win::GetFileVersionInfoSize(fileName, &handle);
  if (size > 0) {
    versionBuffer_.assign(size, 0);
    if (win::GetFileVersionInfo(fileName, handle, size, versionBuffer_.data())) {
      const void* value = nullptr;
      unsigned length = 0;
      if (win::VerQueryValue(versionBuffer_.data(), "\\", &value, &length) &&
          length >= sizeof(win::VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const win::VS_FIXEDFILEINFO*>(value);
        FileVersionMajor = fixed->dwFileVersionMS >> 16;
        FileVersionMinor = fixed->dwFileVersionMS & 0xFFFF;
        FileVersionRelease = fixed->dwFileVersionLS >> 16;
        FileVersionBuild = fixed->dwFileVersionLS & 0xFFFF;
      }
      if (win::VerQueryValue(versionBuffer_.data(), "\\\\VarFileInfo\\\\Translation", &value, &length) &&
          length >= 4) {
        const auto* bytes = static_cast<const std::uint8_t*>(value);
        Translation = static_cast<std::uint32_t>(bytes[0] | (bytes[1] << 8)) |
                      (static_cast<std::uint32_t>(bytes[2] | (bytes[3] << 8)) << 16);
        char text[16];
        std::snprintf(text, sizeof text, "%4.4x%4.4x", Translation & 0xFFFF, Translation >> 16);
        LangCharset = text;
      }
    } else {
      versionBuffer_.clear();
    }
  }
  std::string* texts[10] = {&CompanyName,      &FileDescription, &FileVersion, &InternalName,
                            &LegalCopyright,   &LegalTradeMarks, &OriginalFilename,
                            &ProductName,      &ProductVersion,  &Comments};
  for (int i = 0; i < 10; ++i) {
    *texts[i] = QueryStringValue(kVersionKeys[i]);
    Info[i + 1] = *texts[i];
  }
  FileFolder = win::ExtractFilePath(fileName);
  FileName = win::ExtractFileName(fileName);
  AppTitle = appTitle;
  InfoCount = 10;
  char version[64];
  std::snprintf(version, sizeof version, "%u.%u.%u.%u", FileVersionMajor, FileVersionMinor, FileVersionRelease,
                FileVersionBuild);
  Info[0] = version;
  versionBuffer_.clear();
  versionBuffer_.shrink_to_fit();
}

std::string TAppObj::QueryStringValue(const std::string& key) const {
  if (versionBuffer_.empty()) return {};
  const void* value = nullptr;
  unsigned length = 0;
  if (!win::VerQueryValue(versionBuffer_.data(), "StringFileInfo\\" + LangCharset + "\\" + key, &value, &length) ||
      length == 0)
    return {};
  return regclean::Trim(std::string(static_cast<const char*>(value), length - 1));
}

std::string TAppObj::GetInfo(int index) const {
  if (index < 0 || index > 10) return {};
  return Info[index];
}

std::int32_t AddEntryFileInfo(TAppObj& reader, TFileContents& details, const std::string& filePath,
                              const std::string& entryType, const std::string& valueName,
                              const std::string& location) {
  reader.ReadVersionInfo(filePath);
  const std::int32_t index = details.Add();
  TFilInfoeRecord& record = details.GetItem(index).Content;
  record.EntryType = entryType;
  record.Position = location;
  record.ProductName = reader.GetInfo(8);
  record.CompanyName = reader.GetInfo(1);
  record.FileVersion = reader.GetInfo(3);
  record.FileDescription = reader.GetInfo(2);
  record.Action = "Delete";
  record.ValueName = valueName;
  record.FilePath = filePath;
  return index;
}
