// INI text: parse, read every section and key, write a key, format again.

#include <cstdint>
#include <string>

#include "platform/files/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  win::IniText ini(text);
  for (const std::string& section : ini.ReadSections()) {
    for (const std::string& key : ini.ReadSection(section)) ini.ReadInteger(section, key, 0);
    ini.ReadSectionValues(section);
  }
  ini.WriteString("Fuzz", "Key", "value");
  win::IniText again(ini.Text());
  again.DeleteKey("Fuzz", "Key");
  win::ParseIniLine(text);
  return 0;
}
