// Property: on any machine, repairing every problem and then importing the
// repair backup gives back the registry as it was before the repair.

#include <random>

#include "RegcleanFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/RegistryStore.h"
#include "regclean/EmptyRegistryUnit.h"
#include "regclean/RepairDriverUnit.h"
#include "regclean/ScanDriverUnit.h"
#include "regclean/ScanResultsUnit.h"
#include "shell/Dialogs.h"

namespace regclean::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const char* const kDlls = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const char* const kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char* const kTrees = "Software\\FwTrees";
const char* const kValues = "Software\\FwValues";
const std::string kBackupFolder = "C:\\Program Files\\Fernwick\\RepairBackup\\";

class MachineGenerator {
 public:
  MachineGenerator(std::uint32_t seed, bool ansiOnly) : rng_(seed), ansiOnly_(ansiOnly) {}

  // A piece of a name with the characters .reg files must escape or that
  // other code may trip over.
  std::string OddPiece() {
    static const std::vector<std::string> pieces = {
        "plain", "q\"uote", "\"", "semi;colon", "pipe|bar", "sp ace", "eq=ual", "@at",
        "[br]", "%PATH%", "caf\xC3\xA9", "\xE2\x82\xAC", "\xE6\x97\xA5\xE6\x9C\xAC", "\xF0\x9F\x98\x80",
        "tab\tbed", "default", "HKEY_LOCAL_MACHINE"};
    for (;;) {
      const std::string& piece = pieces[Below(pieces.size())];
      if (!ansiOnly_ || win::AnsiToUtf8(win::Utf8ToAnsi(piece)) == piece) return piece;
    }
  }

  // Data of a random type and size.
  std::pair<win::DWORD, Bytes> Data() {
    switch (Below(11)) {
      case 0: return {win::REG_DWORD, {0, 0, 0, 0}};
      case 1: return {win::REG_DWORD, {static_cast<std::uint8_t>(Below(256)), 0, 0, 0x80}};
      case 2: return {win::REG_DWORD, {1, 2}};
      case 3: return {win::REG_BINARY, {}};
      case 4: return {win::REG_BINARY, RandomBytes(1 + Below(4000))};
      case 5: return {win::REG_SZ, win::Utf8ToUtf16LeBytes(Text())};
      case 6: return {win::REG_EXPAND_SZ, win::Utf8ToUtf16LeBytes("%SystemRoot%\\" + Text())};
      case 7: {
        std::string joined = Text() + '\0' + Text() + '\0' + '\0';
        Bytes bytes = win::Utf8ToUtf16LeBytes(joined, false);
        return {win::REG_MULTI_SZ, bytes};
      }
      case 8: return {win::REG_QWORD, RandomBytes(8)};
      case 9: return {win::REG_NONE, RandomBytes(Below(3))};
      default: {
        // Text with line breaks, or odd-sized or unterminated string data.
        Bytes bytes = win::Utf8ToUtf16LeBytes(Text() + "\r\n" + Text());
        const bool odd = Below(2) == 0;
        if (odd) bytes.pop_back();
        // An ANSI file's string lists are ANSI text: no such list gives an
        // odd-sized string back, on Windows either.
        return {Below(2) == 0 && !(odd && ansiOnly_) ? win::REG_SZ : 0x4242u, bytes};
      }
    }
  }

  std::string Text() {
    std::string text;
    for (std::size_t n = 1 + Below(3); n > 0; --n) text += OddPiece() + (Below(2) ? "\\" : " ");
    return text;
  }

  Bytes RandomBytes(std::size_t n) {
    Bytes bytes(n);
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(Below(256));
    return bytes;
  }

  std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

 private:
  std::mt19937 rng_;
  bool ansiOnly_;
};

void Write(win::HKEY root, const std::string& key, const std::string& name,
           const std::pair<win::DWORD, Bytes>& data) {
  ASSERT_TRUE(WriteValue(root, key, name, data.first, data.second)) << key << " / " << name;
}

// Entries for the sections that read App Paths, fonts, histories, sounds
// and the Start-menu order, and settings values that name missing files and
// folders; a few of each that must stay.
void PopulateSectionEntries(MachineGenerator& gen) {
  const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  for (std::size_t i = 0, n = 1 + gen.Below(4); i < n; ++i) {
    const std::string key = appPaths + std::to_string(i) + gen.OddPiece() + ".exe";
    Write(win::HKEY_LOCAL_MACHINE, key, "", {win::REG_SZ, win::Utf8ToUtf16LeBytes("C:\\Gone " + gen.OddPiece() + "\\a.exe")});
    Write(win::HKEY_LOCAL_MACHINE, key, "Path", {win::REG_SZ, win::Utf8ToUtf16LeBytes("C:\\Gone")});
    Write(win::HKEY_LOCAL_MACHINE, key + "\\Sub", gen.OddPiece(), gen.Data());
  }
  Write(win::HKEY_LOCAL_MACHINE, appPaths + "kept.dll", "", {win::REG_SZ, win::Utf8ToUtf16LeBytes("C:\\Present\\kept.dll")});

  const char* const fonts = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  for (std::size_t i = 0, n = 1 + gen.Below(4); i < n; ++i)
    Write(win::HKEY_LOCAL_MACHINE, fonts, "Font " + gen.OddPiece() + std::to_string(i),
          {gen.Below(2) ? win::REG_SZ : win::REG_EXPAND_SZ, win::Utf8ToUtf16LeBytes("gone" + std::to_string(i) + ".ttf")});
  Write(win::HKEY_LOCAL_MACHINE, fonts, "Kept", {win::REG_SZ, win::Utf8ToUtf16LeBytes("C:\\Present\\kept.dll")});

  const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  for (const char* list : {"*", "txt"})
    for (const char* name : {"a", "b", "MRUList"})
      Write(win::HKEY_CURRENT_USER, explorer + "ComDlg32\\OpenSaveMRU\\" + list, name,
            {win::REG_SZ, win::Utf8ToUtf16LeBytes(gen.Text())});
  Write(win::HKEY_CURRENT_USER, explorer + "RunMRU", "a", {win::REG_SZ, win::Utf8ToUtf16LeBytes(gen.Text() + "\\1")});
  Write(win::HKEY_CURRENT_USER, explorer + "RunMRU", "b", gen.Data());
  Write(win::HKEY_LOCAL_MACHINE, "Control Panel\\Sounds", "", {win::REG_SZ, win::Utf8ToUtf16LeBytes(gen.OddPiece())});

  Write(win::HKEY_CURRENT_USER, explorer + "User Shell Folders", "Programs",
        {win::REG_EXPAND_SZ, win::Utf8ToUtf16LeBytes("%USERPROFILE%\\Start Menu\\Programs")});
  Write(win::HKEY_CURRENT_USER, explorer + "Shell Folders", "Programs",
        {win::REG_SZ, win::Utf8ToUtf16LeBytes("C:\\Documents and Settings\\Owner\\Start Menu\\Programs")});
  const std::string records = explorer + "MenuOrder\\Start Menu2\\Programs\\";
  for (std::size_t i = 0, n = 1 + gen.Below(4); i < n; ++i) {
    const std::string key = records + std::to_string(i) + gen.OddPiece();
    Write(win::HKEY_CURRENT_USER, key, "Order", {win::REG_BINARY, gen.RandomBytes(8 + gen.Below(40))});
    Write(win::HKEY_CURRENT_USER, key + "\\" + gen.OddPiece(), "Order", gen.Data());
  }
  Write(win::HKEY_CURRENT_USER, records + "Kept", "Order", {win::REG_BINARY, {1, 2, 3}});

  for (std::size_t i = 0, n = 2 + gen.Below(6); i < n; ++i)
    Write(i % 2 ? win::HKEY_LOCAL_MACHINE : win::HKEY_CURRENT_USER,
          "Software\\FwSettings\\" + gen.OddPiece(), gen.OddPiece() + std::to_string(i),
          {win::REG_SZ, win::Utf8ToUtf16LeBytes(gen.Below(2) ? "C:\\Gone\\" + gen.OddPiece()
                                                          : "\"C:\\Gone\\x" + std::to_string(i) + ".exe\" /s")});
}

// Empty COM server keys with subkeys below them, unregistered type
// libraries, empty and unassociated extensions, "Open With" entries of
// unregistered programs, help files that are gone and empty keys; a few of
// each that must stay.
void PopulateClassEntries(MachineGenerator& gen) {
  auto text = [](const std::string& data) { return std::make_pair(win::REG_SZ, win::Utf8ToUtf16LeBytes(data)); };
  for (std::size_t i = 0, n = 1 + gen.Below(4); i < n; ++i) {
    const std::string clsid = "CLSID\\{Fw" + std::to_string(i) + gen.OddPiece() + "}";
    Write(win::HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "", text(""));
    Write(win::HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "ThreadingModel", gen.Data());
    Write(win::HKEY_CLASSES_ROOT, clsid + "\\InprocServer32\\" + gen.OddPiece(), gen.OddPiece(), gen.Data());
    Write(win::HKEY_CLASSES_ROOT, clsid + "\\TypeLib", "", text("{Gone" + gen.OddPiece() + "}"));
    Write(win::HKEY_CLASSES_ROOT, clsid + "\\TypeLib\\Sub", "", gen.Data());
  }
  Write(win::HKEY_CLASSES_ROOT, "TypeLib\\{Kept}\\1.0\\HELPDIR", "", text(""));
  Write(win::HKEY_CLASSES_ROOT, "CLSID\\{Kept}\\TypeLib", "", text("{Kept}"));
  Write(win::HKEY_CLASSES_ROOT, "CLSID\\{Kept}\\InprocServer32", "", text("C:\\Present\\kept.dll"));

  const std::string fileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
  for (std::size_t i = 0, n = 1 + gen.Below(4); i < n; ++i) {
    const std::string extension = ".fw" + std::to_string(i) + gen.OddPiece();
    Write(win::HKEY_CLASSES_ROOT, extension, "", text(""));
    Write(win::HKEY_CLASSES_ROOT, extension + "\\ShellNew", gen.OddPiece(), gen.Data());
    Write(win::HKEY_CLASSES_ROOT, ".as" + std::to_string(i), "", text("gone" + std::to_string(i) + "file"));
    Write(win::HKEY_CLASSES_ROOT, ".as" + std::to_string(i), gen.OddPiece(), gen.Data());
    Write(win::HKEY_CURRENT_USER, fileExts + extension + "\\OpenWithList", gen.OddPiece(),
          text("gone " + gen.OddPiece() + ".exe"));
    Write(win::HKEY_CURRENT_USER, fileExts + extension + "\\OpenWithList", "MRUList", text("a"));
    Write(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help", gen.OddPiece() + std::to_string(i) + ".hlp",
          text("C:\\Gone " + gen.OddPiece()));
  }
  Write(win::HKEY_CLASSES_ROOT, ".kept", "", text("keptfile"));
  Write(win::HKEY_CLASSES_ROOT, "keptfile", "", text("Kept"));

  for (std::size_t i = 0, n = 1 + gen.Below(4); i < n; ++i) {
    win::TRegistry registry;
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.CreateKey("\\Software\\FwEmpty\\" + std::to_string(i) + gen.OddPiece()));
  }
}

// Fills the machine: shared DLL counts, uninstall entries, and trees and
// values for the key-deleting section below.
void Populate(MachineGenerator& gen) {
  const std::size_t dlls = 1 + gen.Below(12);
  for (std::size_t i = 0; i < dlls; ++i) {
    const std::string name = "C:\\Gone " + gen.OddPiece() + "\\" + std::to_string(i) + ".dll";
    Write(win::HKEY_LOCAL_MACHINE, kDlls, name, gen.Data());
  }
  Write(win::HKEY_LOCAL_MACHINE, kDlls, "C:\\Present\\kept.dll", {win::REG_DWORD, {2, 0, 0, 0}});

  const std::size_t entries = 1 + gen.Below(8);
  for (std::size_t i = 0; i < entries; ++i) {
    const std::string key = std::string(kUninstall) + "\\" + std::to_string(i) + " " + gen.OddPiece();
    const std::string command = "\"C:\\Gone " + gen.OddPiece() + "\\un" + std::to_string(i) + ".exe\" /S " + gen.OddPiece();
    Write(win::HKEY_LOCAL_MACHINE, key, "UninstallString",
          {gen.Below(2) ? win::REG_SZ : win::REG_EXPAND_SZ, win::Utf8ToUtf16LeBytes(command)});
    Write(win::HKEY_LOCAL_MACHINE, key, "DisplayName", {win::REG_SZ, win::Utf8ToUtf16LeBytes(gen.Text())});
    Write(win::HKEY_LOCAL_MACHINE, key + "\\Sub", gen.OddPiece(), gen.Data());
  }

  const std::size_t trees = 1 + gen.Below(5);
  for (std::size_t i = 0; i < trees; ++i) {
    std::string key = std::string(kTrees) + "\\" + std::to_string(i) + gen.OddPiece();
    for (std::size_t depth = gen.Below(4); ; --depth) {
      Write(win::HKEY_CURRENT_USER, key, "", gen.Data());
      for (std::size_t v = gen.Below(4); v > 0; --v) Write(win::HKEY_CURRENT_USER, key, gen.OddPiece(), gen.Data());
      if (depth == 0) break;
      key += "\\" + gen.OddPiece();
    }
    const std::string values = std::string(kValues) + "\\" + std::to_string(i);
    Write(win::HKEY_CURRENT_USER, values, "", gen.Data());
    Write(win::HKEY_CURRENT_USER, values, "default", gen.Data());
  }
  PopulateSectionEntries(gen);
  PopulateClassEntries(gen);
}

// A section whose problems are whole keys (the trees) and unnamed values;
// it reports under the number of "Empty Registry Keys", after that
// section's own findings.
RegistrySection TreeSection() {
  const RegistrySection emptyKeys = EmptyRegistryKeysSection();
  RegistrySection section;
  section.scanners = {[emptyKeys](ScanContext& context) {
    emptyKeys.scanners[0](context);
    for (const char* parent : {kTrees, kValues}) {
      win::TRegistry registry(win::KEY_READ);
      registry.SetRootKey(win::HKEY_CURRENT_USER);
      std::vector<std::string> names;
      if (registry.OpenKeyReadOnly(std::string("\\") + parent)) registry.GetKeyNames(names);
      for (const std::string& name : names) {
        TRegistryContent problem;
        problem.KeyPath = "HKEY_CURRENT_USER\\" + std::string(parent) + "\\" + name;
        problem.ValueName = "default";
        problem.UnnamedValue = parent == kValues;
        problem.Value = parent == kTrees ? "key" : "";
        problem.KeyName = "tree";
        AddProblem(context, problem);
      }
    }
  }};
  section.target = [emptyKeys](const TRegistryContent& item) {
    if (item.KeyName != "tree") return emptyKeys.target(item);
    return item.Value == "key" ? KeyTargetOf(item) : ValueTargetOf(item);
  };
  return section;
}

// The registry as comparable text: every key with its values sorted by name.
std::map<std::string, std::map<std::string, std::string>> Snapshot() {
  win::RegFileContent content;
  std::string error;
  EXPECT_TRUE(win::ReadRegistryTree(*win::CurrentRegistry(), "", content, error)) << error;
  std::map<std::string, std::map<std::string, std::string>> keys;
  for (const win::RegFileKey& key : content.keys) {
    auto& values = keys[key.path];
    for (const win::RegFileValue& value : key.values)
      values[win::UpperName(value.name)] =
          value.name + " " + std::to_string(value.type) + " " + std::string(value.data.begin(), value.data.end());
  }
  return keys;
}

std::vector<std::string> BackupFiles() {
  std::vector<std::string> names;
  win::FindData data;
  auto finder = win::FindFirstFile("C:\\Program Files\\Fernwick\\RepairBackup\\*.reg", data);
  if (finder) do names.push_back(data.name);
    while (finder->Next(data));
  return names;
}

std::string FileBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  win::ReadFileBytes(path, bytes);
  return std::string(bytes.begin(), bytes.end());
}

using RegistryText = std::map<std::string, std::map<std::string, std::string>>;

// The first few keys or values that differ, readable.
std::vector<std::string> Differences(const RegistryText& expected, const RegistryText& actual) {
  std::vector<std::string> found;
  auto note = [&](const std::string& what) {
    if (found.size() < 5) found.push_back(what);
  };
  for (const auto& [key, values] : expected) {
    const auto it = actual.find(key);
    if (it == actual.end()) {
      note("missing key " + key);
      continue;
    }
    for (const auto& [name, value] : values) {
      const auto other = it->second.find(name);
      if (other == it->second.end()) note("missing value " + key + " : " + name);
      else if (other->second != value) note("changed value " + key + " : " + name);
    }
    for (const auto& [name, value] : it->second)
      if (!values.count(name)) note("extra value " + key + " : " + name);
  }
  for (const auto& [key, values] : actual)
    if (!expected.count(key)) note("extra key " + key);
  return found;
}

// True when a ticked problem's repair deletes the value of that name (not the
// unnamed one) of a key whose path ends in `key`.
bool ReportedByName(ScanSession& session, const std::string& key, const std::string& name) {
  for (int section = 1; section <= kSectionCount; ++section) {
    const TRegistryContents& contents = *session.Collection(section);
    for (int i = 0; i < contents.Count(); ++i) {
      const TRegistryContent& item = contents.GetItem(i).Content;
      if (!item.Checked) continue;
      const RepairTarget target = SectionImplementation(section).target(item);
      const std::string path = AsciiUpper(target.path);
      if (target.kind == RepairTarget::Kind::Value && target.valueName == name &&
          path.size() >= key.size() && path.compare(path.size() - key.size(), key.size(), AsciiUpper(key)) == 0)
        return true;
    }
  }
  return false;
}

class RepairRoundTripTest : public RegcleanTest {
 protected:
  // Repairs every ticked problem of a generated machine and imports the
  // backup; platformCode chooses the file form.
  void RoundTrip(std::uint32_t seed, std::uint8_t platformCode) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    UseMachine("",
               "C:\\Present\\kept.dll\n"
               "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\\n"
               "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\Kept\\\n");
    PlatformCode = platformCode;
    MachineGenerator gen(seed, platformCode != 4);
    ASSERT_TRUE(win::CurrentRegistry()->BeginBatch());
    Populate(gen);
    ASSERT_TRUE(win::CurrentRegistry()->CommitBatch());
    ScanSession session;
    RecordingView view;
    ScriptedDialogs dialogs;
    ScopedSectionOverride trees(3, TreeSection());
    const auto before = Snapshot();

    ASSERT_EQ(ScanNow(session, view), ScanOutcome::ProblemsFound);
    // Every section these machines hold entries for found some.
    for (int section : {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 15, 16, 17})
      EXPECT_GT(session.Collection(section)->Count(), 0) << "section " << section;
    if (session.Collection(3)->Count() > 0) {  // the empty keys come before the trees
      EXPECT_NE(session.Collection(3)->GetItem(0).Content.KeyName, "tree");
    }
    // Leave a few problems unticked.
    for (int i = 0; i < ProblemCount(session, 0); ++i)
      if (gen.Below(5) == 0) SetProblemChecked(session, 0, i, false);

    // The backup as it is when the first deletion is about to happen.
    std::string backupAtFirstDeletion;
    SetProcessMessagesHook([&] {
      if (!session.Repairing() || !backupAtFirstDeletion.empty()) return;
      const std::vector<std::string> files = BackupFiles();
      backupAtFirstDeletion = files.size() == 1 ? FileBytes(kBackupFolder + files[0]) : "<none>";
    });
    ASSERT_EQ(RepairCheckedProblems(session, view), RepairOutcome::Repaired);
    SetProcessMessagesHook(nullptr);

    // Every ticked problem is gone and logged as such.
    int ticked = 0;
    for (int section = 1; section <= kSectionCount; ++section) {
      const TRegistryContents& contents = *session.Collection(section);
      for (int i = 0; i < contents.Count(); ++i) {
        const TRegistryContent& item = contents.GetItem(i).Content;
        if (!item.Checked) continue;
        ++ticked;
        EXPECT_TRUE(TargetGone(SectionImplementation(section).target(item))) << item.KeyPath;
      }
    }
    ASSERT_GT(ticked, 0);
    ASSERT_EQ(session.RepairLog.Count(), ticked);
    for (int i = 0; i < ticked; ++i) EXPECT_EQ(session.RepairLog.GetItem(i).Content.Result, "Repaired Successfully");
    // The real "default" values stay unless a section reported them by name;
    // only unnamed ones were repaired.
    if (!ReportedByName(session, std::string(kValues) + "\\0", "default")) {
      EXPECT_TRUE(ValueExists(win::HKEY_CURRENT_USER, std::string(kValues) + "\\0", "default"));
    }

    const std::vector<std::string> files = BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string backup = kBackupFolder + files[0];
    EXPECT_EQ(backupAtFirstDeletion, FileBytes(backup));

    std::string error;
    ASSERT_TRUE(win::ImportRegFile(backup, error)) << error;
    EXPECT_EQ(Differences(before, Snapshot()), std::vector<std::string>{});
  }
};

TEST_F(RepairRoundTripTest, ImportingTheBackupRestoresWhatTheRepairDeleted) {
  for (std::uint32_t seed = 1; seed <= 30; ++seed) RoundTrip(seed, 4);
}

// The older file form carries the code page's characters only, so its
// machines use no others in names.
TEST_F(RepairRoundTripTest, OlderFileFormRestoresTooForCodePageNames) {
  for (std::uint32_t seed = 101; seed <= 110; ++seed) RoundTrip(seed, 2);
}

}  // namespace
}  // namespace regclean::test
