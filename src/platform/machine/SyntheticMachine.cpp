#include "platform/machine/SyntheticMachine.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <unordered_set>
#include <vector>

#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

const char* const kSyllables[] = {"ar", "bel", "cor", "dra", "en", "fal", "gor", "hel", "is",
                                  "jun", "kel", "lor", "mar", "nor", "ol", "pra", "quin", "ros",
                                  "sil", "tor", "ul", "ven", "wil", "xen", "yor", "zan", "tek",
                                  "soft", "tron", "via", "lux", "nex"};
const char* const kWords[] = {"Photo", "Tune", "Sound", "Video", "Disk", "Net", "Mail", "Web",
                              "Page", "Note", "Type", "Draw", "Chart", "Sync", "Pack", "Scan",
                              "Print", "Game", "Chess", "Map", "Code", "Text", "File", "Clip",
                              "Frame", "Star", "Sky", "Wave", "Book", "Card", "Cloud", "Data"};
const char* const kTails[] = {"Pad", "Box", "Studio", "Pro", "Works", "Manager", "Viewer",
                              "Player", "Suite", "Tools", "Maker", "Lite", "Center", "Express",
                              "Plus", "Deluxe"};
const char* const kSettingsKeys[] = {
    "Settings", "Options", "Preferences", "Recent File List", "Toolbars", "Window Placement",
    "Layout", "History", "Plugins", "Filters", "Profiles", "Columns", "Colors", "Fonts",
    "Shortcuts", "Printers", "Export", "Import", "Languages", "Skins", "Updates", "Network",
    "Proxy", "Cache", "Views", "Panels", "Dialogs", "Search", "Bookmarks", "Templates",
    "Main", "General", "Advanced", "Display", "Editor", "Codecs", "Devices", "Accounts"};
const char* const kValueNames[] = {
    "Version", "InstallDir", "Language", "LastUsed", "WindowLeft", "WindowTop", "WindowWidth",
    "WindowHeight", "Maximized", "ShowToolbar", "ShowStatusBar", "AutoSave", "AutoSaveInterval",
    "Theme", "FontName", "FontSize", "LastFolder", "DefaultFormat", "Quality", "CheckForUpdates",
    "UpdateUrl", "SerialNumber", "UserName", "Company", "Flags", "Mode", "Position", "Placement",
    "Columns", "SortOrder", "SortColumn", "MaxItems", "ConfirmDelete", "PlaySounds",
    "StartMinimized", "Path", "DataPath", "TempPath", "LogLevel", "LogFile", "Timeout", "Retries",
    "ProxyServer", "ProxyPort", "Enabled", "Visible", "Order", "Count", "Index", "Id",
    "DefaultEncoding", "LastSearchString", "RecentProjectsCount", "Toolbar Settings Blob"};
// Files present on the sample machine, so that part of the generated
// references name existing files.
const char* const kExistingFiles[] = {
    "C:\\WINDOWS\\system32\\shell32.dll", "C:\\WINDOWS\\system32\\ole32.dll",
    "C:\\WINDOWS\\system32\\oleaut32.dll", "C:\\WINDOWS\\system32\\mshtml.dll",
    "C:\\WINDOWS\\system32\\shdocvw.dll", "C:\\WINDOWS\\system32\\urlmon.dll",
    "C:\\WINDOWS\\system32\\msxml3.dll", "C:\\WINDOWS\\system32\\quartz.dll",
    "C:\\WINDOWS\\system32\\comctl32.dll", "C:\\WINDOWS\\notepad.exe",
    "C:\\WINDOWS\\explorer.exe", "C:\\WINDOWS\\system32\\svchost.exe"};

struct Program {
  std::string vendor;
  std::string product;
  std::string folder;
};

class Generator {
 public:
  Generator(RegistryStore& store, std::uint32_t seed, SyntheticCounts& counts, unsigned missingPercent)
      : store_(store), rng_(seed), presence_(seed ^ 0x5EED5EEDu), counts_(counts),
        missingPercent_(missingPercent) {}

  // The programs' files and folders that are to be on the drive.
  SyntheticFiles TakePresent() {
    SyntheticFiles files;
    files.files.assign(presentFiles_.begin(), presentFiles_.end());
    files.folders.assign(presentFolders_.begin(), presentFolders_.end());
    return files;
  }

  bool Run(std::uint64_t keyCount, std::string& error) {
    if (!Prepare()) {
      error = "cannot make the base keys of the generated registry";
      return false;
    }
    const std::uint64_t target = counts_.keys + keyCount;
    while (ok_ && counts_.keys < target) {
      const unsigned pick = Below(100);
      if (pick < 22) ComClass();
      else if (pick < 30) Interface();
      else if (pick < 35) TypeLibrary();
      else if (pick < 42) FileType();
      else if (pick < 46) Service();
      else if (pick < 54) Device();
      else if (pick < 76) MachineProgram();
      else UserProgram();
    }
    if (!ok_) error = "cannot write the generated registry";
    return ok_;
  }

 private:
  unsigned Below(unsigned n) { return static_cast<unsigned>(rng_() % n); }
  bool Chance(unsigned percent) { return Below(100) < percent; }
  template <typename T, std::size_t N>
  const char* Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

  // A file or folder of a program (or of the user) named in the registry; on the drive unless it
  // is one of the missing share. Draws from its own generator, so that the
  // registry is the same for any share.
  const std::string& Mention(const std::string& path, bool folder = false) {
    if (missingPercent_ < 100 && presence_() % 100 >= missingPercent_) {
      (folder ? presentFolders_ : presentFiles_).insert(path);
    }
    return path;
  }

  std::optional<std::int64_t> Root(HKEY root) { return store_.RootId(root); }

  // Counts only keys that are new.
  std::int64_t Key(std::int64_t parent, const std::string& name) {
    if (!ok_) return parent;
    if (const auto existing = store_.FindChild(parent, name)) return *existing;
    const auto id = store_.CreateChild(parent, name);
    if (!id) {
      ok_ = false;
      return parent;
    }
    ++counts_.keys;
    return *id;
  }
  std::int64_t Path(std::int64_t parent, const std::string& path) {
    std::size_t start = 0;
    while (start <= path.size()) {
      auto end = path.find('\\', start);
      if (end == std::string::npos) end = path.size();
      parent = Key(parent, path.substr(start, end - start));
      start = end + 1;
    }
    return parent;
  }

  void Value(std::int64_t key, const std::string& name, DWORD type,
             const std::vector<std::uint8_t>& data) {
    if (!ok_) return;
    if (!store_.SetValue(key, name, type, data)) ok_ = false;
    ++counts_.values;
  }
  void Sz(std::int64_t key, const std::string& name, const std::string& text) {
    Value(key, name, REG_SZ, Utf8ToUtf16LeBytes(text));
  }
  void ExpandSz(std::int64_t key, const std::string& name, const std::string& text) {
    Value(key, name, REG_EXPAND_SZ, Utf8ToUtf16LeBytes(text));
  }
  void Dword(std::int64_t key, const std::string& name, std::uint32_t number) {
    Value(key, name, REG_DWORD,
          {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
           static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)});
  }
  void Binary(std::int64_t key, const std::string& name, std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (auto& byte : data) byte = static_cast<std::uint8_t>(rng_());
    Value(key, name, REG_BINARY, data);
  }
  void MultiSz(std::int64_t key, const std::string& name, const std::vector<std::string>& items) {
    std::vector<std::uint8_t> data;
    for (const auto& item : items) {
      const auto bytes = Utf8ToUtf16LeBytes(item);
      data.insert(data.end(), bytes.begin(), bytes.end());
    }
    data.push_back(0);
    data.push_back(0);
    Value(key, name, REG_MULTI_SZ, data);
  }

  std::string Guid() {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%04X%08X}",
                  static_cast<unsigned>(rng_()), Below(0x10000), Below(0x10000), Below(0x10000),
                  Below(0x10000), static_cast<unsigned>(rng_()));
    return text;
  }
  std::string Hex(unsigned digits) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned i = 0; i < digits; ++i) text += kHex[Below(16)];
    return text;
  }
  std::string Word() {
    std::string word = Pick(kSyllables);
    const unsigned more = 1 + Below(2);
    for (unsigned i = 0; i < more; ++i) word += Pick(kSyllables);
    word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
    return word;
  }
  std::string Unique(std::unordered_set<std::string>& used, std::string name) {
    std::string candidate = name;
    for (unsigned n = 2; !used.insert(UpperName(candidate)).second; ++n)
      candidate = name + " " + std::to_string(n);
    return candidate;
  }

  // A file path: an existing system file, or a file of a program.
  std::string FilePath(const Program& program, const char* extension) {
    if (Chance(40)) return Pick(kExistingFiles);
    return Mention(program.folder + "\\" + Word() + extension);
  }
  Program& AnyProgram() {
    if (programs_.empty() || Chance(30)) NewProgram();
    return programs_[Below(static_cast<unsigned>(programs_.size()))];
  }
  void NewProgram() {
    Program program;
    program.vendor = Unique(vendors_, Word() + (Chance(50) ? " Software" : ""));
    program.product = std::string(Pick(kWords)) + Pick(kTails);
    program.folder = "C:\\Program Files\\" + program.vendor + "\\" + program.product;
    programs_.push_back(program);
  }

  std::string StringData(const Program& program) {
    switch (Below(10)) {
      case 0: case 1: case 2: return FilePath(program, Chance(50) ? ".exe" : ".dll");
      case 3: return Mention(program.folder, true);
      case 4: return Guid();
      case 5: return std::to_string(Below(100000));
      case 6: return "http://www." + UpperName(Word()) + ".invalid/" + Word();
      default: {
        std::string text = Word();
        const unsigned words = Below(4);
        for (unsigned i = 0; i < words; ++i) text += " " + Word();
        return text;
      }
    }
  }

  // A key of settings: a few distinct values of mixed types.
  void SettingsValues(std::int64_t key, const Program& program, unsigned count) {
    std::vector<const char*> names(std::begin(kValueNames), std::end(kValueNames));
    for (unsigned i = 0; i < count && i < names.size(); ++i) {
      std::swap(names[i], names[i + Below(static_cast<unsigned>(names.size() - i))]);
      const std::string name = names[i];
      const unsigned type = Below(100);
      if (type < 50) Sz(key, name, StringData(program));
      else if (type < 80) Dword(key, name, Chance(70) ? Below(2) : static_cast<std::uint32_t>(rng_()));
      else if (type < 92) Binary(key, name, 4 + Below(120));
      else if (type < 96) {
        const std::string below = program.vendor + "\\" + Word() + ".dat";
        Mention("C:\\Program Files\\" + below);
        ExpandSz(key, name, "%ProgramFiles%\\" + below);
      }
      else if (type < 99) MultiSz(key, name, {Word(), Word(), Word()});
      else Value(key, name, REG_QWORD, std::vector<std::uint8_t>(8, static_cast<std::uint8_t>(Below(256))));
    }
  }

  void SettingsTree(std::int64_t parent, const Program& program, unsigned depth) {
    std::vector<const char*> names(std::begin(kSettingsKeys), std::end(kSettingsKeys));
    const unsigned children = 1 + Below(depth == 0 ? 6 : 4);
    for (unsigned i = 0; i < children; ++i) {
      std::swap(names[i], names[i + Below(static_cast<unsigned>(names.size() - i))]);
      const std::string name = names[i];
      const std::int64_t key = Key(parent, name);
      if (name == "Recent File List" || name == "History") {
        const unsigned files = 1 + Below(9);
        for (unsigned f = 1; f <= files; ++f)
          Sz(key, "File" + std::to_string(f),
             Mention("C:\\Documents and Settings\\Owner\\My Documents\\" + Word() + ".dat"));
      } else {
        SettingsValues(key, program, Below(8));
      }
      if (depth < 3 && Chance(depth == 0 ? 60 : 30)) SettingsTree(key, program, depth + 1);
    }
  }

  bool Prepare() {
    const auto machine = Root(HKEY_LOCAL_MACHINE);
    const auto user = Root(HKEY_CURRENT_USER);
    if (!machine || !user) return false;
    software_ = Path(*machine, "SOFTWARE");
    classes_ = Path(software_, "Classes");
    clsid_ = Path(classes_, "CLSID");
    interfaces_ = Path(classes_, "Interface");
    typeLibs_ = Path(classes_, "TypeLib");
    const std::int64_t currentVersion = Path(software_, "Microsoft\\Windows\\CurrentVersion");
    uninstall_ = Path(currentVersion, "Uninstall");
    appPaths_ = Path(currentVersion, "App Paths");
    sharedDlls_ = Path(currentVersion, "SharedDlls");
    run_ = Path(currentVersion, "Run");
    const std::int64_t controlSet = Path(*machine, "SYSTEM\\CurrentControlSet");
    services_ = Path(controlSet, "Services");
    pci_ = Path(controlSet, "Enum\\PCI");
    userSoftware_ = Path(*user, "Software");
    return ok_;
  }

  void ComClass() {
    const Program& program = AnyProgram();
    const std::string guid = Guid();
    const std::int64_t key = Key(clsid_, guid);
    const std::string progId = program.product + "." + Word();
    Sz(key, "", program.product + " " + Word() + " Class");
    const bool local = Chance(15);
    const std::int64_t server = Key(key, local ? "LocalServer32" : "InprocServer32");
    if (Chance(20)) {
      const std::string dll = Word() + ".dll";
      Mention("C:\\WINDOWS\\system32\\" + dll);
      ExpandSz(server, "", "%SystemRoot%\\system32\\" + dll);
    } else {
      Sz(server, "", FilePath(program, local ? ".exe" : ".dll"));
    }
    if (!local) Sz(server, "ThreadingModel", Chance(70) ? "Apartment" : "Both");
    if (Chance(60)) Sz(Key(key, "ProgID"), "", progId + ".1");
    if (Chance(40)) Sz(Key(key, "VersionIndependentProgID"), "", progId);
    if (Chance(30)) Sz(Key(key, "TypeLib"), "", Guid());
    if (Chance(20)) {
      const std::int64_t categories = Key(key, "Implemented Categories");
      Key(categories, "{7DD95801-9882-11CF-9FA9-00AA006C42C4}");
    }
  }

  void Interface() {
    const std::int64_t key = Key(interfaces_, Guid());
    Sz(key, "", "I" + Word() + Word());
    Sz(Key(key, "ProxyStubClsid32"), "", "{00020424-0000-0000-C000-000000000046}");
    Sz(Key(key, "NumMethods"), "", std::to_string(3 + Below(40)));
    if (Chance(50)) Sz(Key(key, "TypeLib"), "", Guid());
  }

  void TypeLibrary() {
    const Program& program = AnyProgram();
    const std::int64_t version = Key(Key(typeLibs_, Guid()), "1." + std::to_string(Below(3)));
    Sz(version, "", program.product + " Type Library");
    Sz(Key(Key(version, "0"), "win32"), "", FilePath(program, ".tlb"));
    Sz(Key(version, "FLAGS"), "", "0");
    Sz(Key(version, "HELPDIR"), "", Mention(program.folder, true));
  }

  void FileType() {
    const Program& program = AnyProgram();
    std::string extension = "." + Hex(3);
    for (auto& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    extension = Unique(extensions_, extension);
    const std::string progId = Unique(progIds_, program.product + "." + Word());
    const std::int64_t ext = Key(classes_, extension);
    Sz(ext, "", progId);
    if (Chance(50)) Sz(ext, "Content Type", "application/x-" + UpperName(Word()));
    if (Chance(30)) Sz(Key(Key(ext, "OpenWithProgids"), progId), "", "");
    const std::int64_t type = Key(classes_, progId);
    Sz(type, "", program.product + " Document");
    const std::string exe = FilePath(program, ".exe");
    Sz(Key(type, "DefaultIcon"), "", exe + ",0");
    Sz(Key(Key(Key(type, "shell"), "open"), "command"), "", "\"" + exe + "\" \"%1\"");
  }

  void Service() {
    const std::string name = Unique(serviceNames_, Word() + (Chance(50) ? "Svc" : ""));
    const std::int64_t key = Key(services_, name);
    const bool driver = Chance(60);
    Dword(key, "Type", driver ? 1 : 16);
    Dword(key, "Start", Below(5));
    Dword(key, "ErrorControl", 1);
    if (driver) ExpandSz(key, "ImagePath", "system32\\DRIVERS\\" + name + ".sys");
    else Sz(key, "ImagePath", "\"" + Mention(AnyProgram().folder + "\\" + name + ".exe") + "\"");
    Sz(key, "DisplayName", name + " Service");
    if (Chance(50)) Sz(key, "Group", driver ? "Extended Base" : "");
    if (!driver) Sz(key, "ObjectName", "LocalSystem");
    const std::int64_t enumKey = Key(key, "Enum");
    Sz(enumKey, "0", "Root\\LEGACY_" + UpperName(name) + "\\0000");
    Dword(enumKey, "Count", 1);
    Dword(enumKey, "NextInstance", 1);
    if (Chance(60)) SettingsValues(Key(key, "Parameters"), AnyProgram(), 1 + Below(4));
    if (Chance(40)) Binary(Key(key, "Security"), "Security", 20 + Below(140));
  }

  void Device() {
    const std::string id = "VEN_" + Hex(4) + "&DEV_" + Hex(4) + "&SUBSYS_" + Hex(8) + "&REV_" + Hex(2);
    const std::int64_t instance = Key(Key(pci_, Unique(devices_, id)), "3&" + Hex(8) + "&0&" + Hex(2));
    MultiSz(instance, "HardwareID", {"PCI\\" + id, "PCI\\" + id.substr(0, 17)});
    MultiSz(instance, "CompatibleIDs", {"PCI\\CC_" + Hex(6), "PCI\\CC_" + Hex(4)});
    Sz(instance, "DeviceDesc", Word() + " " + Pick(kWords) + " Controller");
    Sz(instance, "Mfg", Word());
    Sz(instance, "Service", Word());
    Sz(instance, "Driver", "{4D36E97D-E325-11CE-BFC1-08002BE10318}\\" + std::to_string(1000 + Below(9000)).substr(0, 4));
    Dword(instance, "ConfigFlags", 0);
    Dword(instance, "Capabilities", Below(0x100));
    Sz(instance, "LocationInformation", "PCI bus " + std::to_string(Below(4)) + ", device " + std::to_string(Below(32)));
    const std::int64_t parameters = Key(instance, "Device Parameters");
    Dword(parameters, "InterruptManagement", 0);
    if (Chance(50)) Binary(Key(instance, "LogConf"), "BootConfig", 48 + Below(200));
  }

  // A library path not counted yet: a system file the first time, then the
  // program's own files.
  std::string SharedDllName(const Program& program) {
    std::string path = FilePath(program, ".dll");
    while (!sharedDllNames_.insert(UpperName(path)).second) path = Mention(program.folder + "\\" + Word() + ".dll");
    return path;
  }

  void MachineProgram() {
    NewProgram();
    const Program& program = programs_.back();
    const std::int64_t product = Key(Key(software_, program.vendor), program.product);
    Sz(product, "InstallDir", Mention(program.folder, true));
    Sz(product, "Version", std::to_string(1 + Below(9)) + "." + std::to_string(Below(10)));
    SettingsTree(product, program, 0);

    const std::int64_t entry = Key(uninstall_, Chance(40) ? Guid() : Unique(uninstallNames_, program.product));
    Sz(entry, "DisplayName", program.product);
    Sz(entry, "DisplayVersion", std::to_string(1 + Below(9)) + "." + std::to_string(Below(10)) + "." + std::to_string(Below(1000)));
    Sz(entry, "Publisher", program.vendor);
    Sz(entry, "InstallLocation", Mention(program.folder, true));
    Sz(entry, "UninstallString", "\"" + Mention(program.folder + "\\uninst.exe") + "\" /S");
    Sz(entry, "DisplayIcon", Mention(program.folder + "\\" + program.product + ".exe") + ",0");
    Dword(entry, "NoModify", 1);
    Dword(entry, "EstimatedSize", Below(200000));

    if (Chance(40)) {
      const std::string exe = program.product + ".exe";
      const std::int64_t appPath = Key(appPaths_, Unique(appPathNames_, exe));
      Sz(appPath, "", Mention(program.folder + "\\" + exe));
      Sz(appPath, "Path", Mention(program.folder, true));
    }
    const unsigned dlls = Below(5);
    for (unsigned i = 0; i < dlls; ++i)
      Dword(sharedDlls_, SharedDllName(program), 1 + Below(3));
    if (Chance(8))
      Sz(run_, Unique(runNames_, program.product),
         "\"" + Mention(program.folder + "\\" + program.product + ".exe") + "\" /tray");
  }

  // The settings of a program that has none for the user yet.
  void UserProgram() {
    if (userPrograms_ >= programs_.size()) NewProgram();
    const Program& program = programs_[userPrograms_++];
    const std::int64_t product = Key(Key(userSoftware_, program.vendor), program.product);
    SettingsValues(product, program, Below(6));
    SettingsTree(product, program, 0);
  }

  RegistryStore& store_;
  std::mt19937 rng_;
  std::mt19937 presence_;
  SyntheticCounts& counts_;
  unsigned missingPercent_;
  std::set<std::string> presentFiles_, presentFolders_;
  bool ok_ = true;
  std::vector<Program> programs_;
  std::unordered_set<std::string> vendors_, extensions_, serviceNames_, devices_, appPathNames_;
  std::unordered_set<std::string> sharedDllNames_, runNames_, uninstallNames_, progIds_;
  std::size_t userPrograms_ = 0;
  std::int64_t software_ = 0, classes_ = 0, clsid_ = 0, interfaces_ = 0, typeLibs_ = 0;
  std::int64_t uninstall_ = 0, appPaths_ = 0, sharedDlls_ = 0, run_ = 0, services_ = 0, pci_ = 0;
  std::int64_t userSoftware_ = 0;
};

}  // namespace

bool FillSyntheticRegistry(RegistryStore& store, std::uint64_t keyCount, std::uint32_t seed,
                           SyntheticCounts& counts, std::string& error, unsigned missingPercent,
                           SyntheticFiles* files) {
  if (!store.BeginBatch()) {
    error = "cannot start writing the registry";
    return false;
  }
  Generator generator(store, seed, counts, missingPercent);
  if (!generator.Run(keyCount, error)) {
    store.RollbackBatch();
    return false;
  }
  if (!store.CommitBatch()) {
    error = "cannot commit the generated registry";
    return false;
  }
  if (files != nullptr) *files = generator.TakePresent();
  return true;
}

namespace {

// Makes the folders and empty files on drive C of the machine.
bool MakePresentFiles(const Machine& machine, const SyntheticFiles& files, std::string& message) {
  namespace fs = std::filesystem;
  const std::string drive = machine.DriveFolder('C');
  const auto host = [&drive](const std::string& path) {
    std::string below = path.substr(3);  // after "C:\"
    std::replace(below.begin(), below.end(), '\\', '/');
    return fs::path(drive) / below;
  };
  std::error_code ec;
  for (const std::string& folder : files.folders) fs::create_directories(host(folder), ec);
  for (const std::string& file : files.files) {
    const fs::path path = host(file);
    if (fs::exists(path, ec)) continue;
    fs::create_directories(path.parent_path(), ec);
    if (!std::ofstream(path, std::ios::binary)) {
      message = "cannot make " + path.string();
      return false;
    }
  }
  return true;
}

}  // namespace

bool CreateSyntheticMachine(const std::string& folder, std::uint64_t keyCount,
                            SyntheticCounts& counts, std::string& error, unsigned missingPercent) {
  const MachineFinisher fill = [&](const std::string& building, std::string& message) {
    auto machine = Machine::Open(building, message);
    SyntheticFiles files;
    return machine &&
           FillSyntheticRegistry(machine->Registry(), keyCount, 1, counts, message, missingPercent, &files) &&
           MakePresentFiles(*machine, files, message);
  };
  return CreateMachineWith(folder, SampleMachineRecipe(), fill, error);
}

}  // namespace win
