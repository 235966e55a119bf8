#include "recovery/UnitMalignantActiveX.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <thread>

#include "LocalHttpServer.h"
#include "RecoveryFixture.h"
#include "platform/files/FileSystem.h"
#include "shell/Dialogs.h"

namespace {

using namespace recovery;
using namespace recovery::test;

const char* const kCodePath = "C:\\Program Files\\Fernwick\\Code";
const std::string kCompat = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
const char* const kA = "{11111111-2222-3333-4444-555555555555}";
const char* const kB = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
const char* const kC = "{0a0b0c0d-1111-2222-3333-444444444444}";

std::string ClassKey(const std::string& clsid) { return kCompat + "\\" + clsid; }

// The class's "Compatibility Flags" as ValueText, "<none>" or "<no key>".
std::string FlagsText(const std::string& clsid) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  if (!registry.OpenKeyReadOnly("\\" + ClassKey(clsid).substr(19))) return "<no key>";
  win::RegFileValue value;
  value.name = "Compatibility Flags";
  if (!registry.ReadRaw(value.name, value.type, value.data)) return "<none>";
  return ValueText(value);
}

std::string Dword(const std::string& clsid, const char* hex) {
  return "[" + ClassKey(clsid) + "]\n\"Compatibility Flags\"=dword:" + hex + "\n";
}

class WaitRecorder : public ListDownloadView {
 public:
  void ShowWait(const std::string& title, const std::string& message) override {
    shown.push_back(title + " / " + message);
  }
  void CloseWait() override { ++closed; }
  std::vector<std::string> shown;
  int closed = 0;
};

class BlockActiveX : public RegcleanTest {
 protected:
  void Use(const std::string& regText, const std::string& code, const std::string& config = "") {
    std::string files;
    if (!code.empty()) files = std::string(kCodePath) + " | text=" + code + "\n";
    UseMachine(regText, files, config);
  }
  std::vector<MalignantRow> Rows() { return LoadMalignantRows(); }
  ScriptedDialogs dialogs_;
};

std::vector<std::string> Texts(const std::vector<ScriptedDialogs::Message>& messages) {
  std::vector<std::string> texts;
  for (const auto& message : messages) texts.push_back(message.text);
  return texts;
}

TEST(CodeLine, SplitsNameAndClassIdentifier) {
  struct Case {
    const char* line;
    bool listed;
    const char* name;
    const char* clsid;
  };
  const Case cases[] = {
      {"Bad Dialer{11111111-2222-3333-4444-555555555555}", true, "Bad Dialer", "{11111111-2222-3333-4444-555555555555}"},
      {"  Spaced {A}  \t", true, "Spaced ", "{A}"},
      {"\tTabbed{B}\r", true, "Tabbed", "{B}"},
      {"No brace at all", true, "", "No brace at all"},
      {"Two{x}{y}", true, "Two", "{x}{y}"},
      {"   ", true, "", ""},
      {"", false, "", ""},
      {"Caf\xc3\xa9 Bar{C}", true, "Caf\xc3\xa9 Bar", "{C}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string name = "old", clsid = "old";
    EXPECT_EQ(c.listed, ParseCodeLine(c.line, name, clsid));
    EXPECT_EQ(c.name, name);
    EXPECT_EQ(c.clsid, clsid);
  }
}

TEST(CodeLine, OnlyWellFormedClassIdentifiersAreTouched) {
  EXPECT_TRUE(IsWellFormedClsid(kA));
  EXPECT_TRUE(IsWellFormedClsid(kC));
  for (const char* bad : {"", "{}", "11111111-2222-3333-4444-555555555555", "{11111111-2222-3333-4444-55555555555}",
                          "{11111111-2222-3333-4444-555555555555}x", "{11111111-2222-3333-4444-55555555555G}",
                          "{11111111-2222-3333-4444\\555555555555}", "{..\\..\\..\\..\\..\\..\\..\\..\\..\\x...}",
                          "{11111111_2222-3333-4444-555555555555}"}) {
    EXPECT_FALSE(IsWellFormedClsid(bad)) << bad;
  }
}

TEST_F(BlockActiveX, LockedWhenTheKillBitIsSet) {
  struct Case {
    const char* what;
    std::string reg;
    bool locked;
  };
  const Case cases[] = {
      {"dword 0x400", Dword(kA, "00000400"), true},
      {"dword 0x401", Dword(kA, "00000401"), true},
      {"dword 0xffffffff", Dword(kA, "ffffffff"), true},
      {"dword 0x001", Dword(kA, "00000001"), false},
      {"dword 0xfffffbff", Dword(kA, "fffffbff"), false},
      {"text 1024", "[" + ClassKey(kA) + "]\n\"Compatibility Flags\"=\"1024\"\n", false},
      {"binary", "[" + ClassKey(kA) + "]\n\"Compatibility Flags\"=hex:00,04,00,00\n", false},
      {"dword of 2 bytes", "[" + ClassKey(kA) + "]\n\"Compatibility Flags\"=hex(4):00,04\n", false},
      {"key without flags", "[" + ClassKey(kA) + "]\n\"AlternateCLSID\"=\"x\"\n", false},
      {"missing", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use(c.reg, "Bad{11111111-2222-3333-4444-555555555555}\r\n");
    EXPECT_EQ(c.locked, IsClassLocked(kA));
    const auto rows = Rows();
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(c.locked, rows[0].Checked);
    EXPECT_EQ(c.locked, rows[0].Locked);
  }
}

// Lock of a ticked row, then Unlock: only the kill bit comes and goes; other
// bits, values that are not DWORDs, other values and subkeys stay as they were.
TEST_F(BlockActiveX, LockThenUnlockKeepsWhatTheToolDidNotSet) {
  const std::string key = "[" + ClassKey(kA) + "]\n";
  const std::string sub = "[" + ClassKey(kA) + "\\Sub]\n\"x\"=\"y\"\n";
  struct Case {
    const char* what;
    std::string reg;
    int lockFailures;
    const char* flagsLocked;    // "Compatibility Flags" after Lock
    const char* flagsUnlocked;  // and after Unlock; "<no key>" when the class key went
  };
  const Case cases[] = {
      {"no key", "", 0, "dword:00000400", "<no key>"},
      {"other bits", Dword(kA, "00000001"), 0, "dword:00000401", "dword:00000001"},
      {"other bits and a value", Dword(kA, "00020001") + "\"Note\"=\"kept\"\n", 0, "dword:00020401",
       "dword:00020001"},
      {"kill bit and others set elsewhere", Dword(kA, "00000401"), 0, "dword:00000401", "dword:00000001"},
      {"kill bit and a value", Dword(kA, "00000400") + "\"Note\"=\"kept\"\n", 0, "dword:00000400", "<none>"},
      {"another value only", key + "\"AlternateCLSID\"=\"x\"\n", 0, "dword:00000400", "<none>"},
      {"a subkey only", key + sub, 0, "dword:00000400", "<none>"},
      {"empty key", key, 0, "dword:00000400", "<no key>"},
      {"text 1024", key + "\"Compatibility Flags\"=\"1024\"\n", 1, "sz:1024", "sz:1024"},
      {"binary", key + "\"Compatibility Flags\"=hex:00,04,00,00\n", 1, "3:00040000", "3:00040000"},
      {"dword of 2 bytes", key + "\"Compatibility Flags\"=hex(4):00,04\n", 1, "4:0004", "4:0004"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use("[" + kCompat + "]\n" + c.reg, std::string("A") + kA + "\r\n");  // the parent is always there
    const Snapshot before = TakeSnapshot();
    auto rows = Rows();
    ASSERT_EQ(1u, rows.size());
    rows[0].Checked = true;
    EXPECT_EQ(c.lockFailures, LockRows(rows, nullptr));
    EXPECT_EQ(FlagsText(kA), c.flagsLocked);
    EXPECT_EQ(rows[0].Locked, c.lockFailures == 0);
    EXPECT_EQ(0, UnlockRows(rows, nullptr));
    EXPECT_EQ(FlagsText(kA), c.flagsUnlocked);
    EXPECT_FALSE(rows[0].Locked);
    EXPECT_EQ(rows[0].Checked, c.lockFailures != 0);  // unticked only where a block was removed
    // Nothing else changed: the class key's other values and subkeys, the
    // parent key.
    auto changes = Changes(before, TakeSnapshot());
    changes.erase(ClassKey(kA) + "|Compatibility Flags");
    if (std::string(c.flagsUnlocked) == "<no key>") changes.erase(ClassKey(kA));
    EXPECT_TRUE(changes.empty()) << changes.begin()->first << " " << changes.begin()->second;
  }
}

TEST_F(BlockActiveX, FillListsEveryNonEmptyLine) {
  Use(Dword(kA, "00000400"),
      std::string("One{11111111-2222-3333-4444-555555555555}\\r\\n\\r\\nNoBrace\\r\\n   \\nTwo") + kB + "\\rLast" + kC);
  const auto rows = Rows();
  ASSERT_EQ(5u, rows.size());
  EXPECT_EQ("One", rows[0].Name);
  EXPECT_TRUE(rows[0].Locked);
  EXPECT_EQ("NoBrace", rows[1].Clsid);
  EXPECT_EQ("", rows[2].Clsid);
  EXPECT_EQ(kB, rows[3].Clsid);
  EXPECT_EQ(kC, rows[4].Clsid);  // the last line needs no line end
  EXPECT_EQ(4, UnlockedCount(rows));
  EXPECT_EQ("4 ActiveX items could cause potential threats to your PC!", WarningText(UnlockedCount(rows)));
  EXPECT_EQ("(5 objects)", ObjectCountText(5));
  EXPECT_EQ("", ObjectCountText(0));
  EXPECT_TRUE(dialogs_.messages().empty());
}

TEST_F(BlockActiveX, LockAndUnlockTouchOneClassKeyAndOnlyWhatTheToolSets) {
  // A kill bit set elsewhere ({D...}), a listed class at 0x401 with another
  // value, a listed class with an extra value beside the flag.
  const std::string other = "{D0000000-0000-0000-0000-000000000000}";
  const std::string reg = Dword(other, "00000400") +
                          "[" + ClassKey(kB) + "]\n\"Compatibility Flags\"=dword:00000401\n\"AlternateCLSID\"=\"" + kA + "\"\n" +
                          "[" + ClassKey(kC) + "]\n\"Compatibility Flags\"=dword:00000400\n\"Note\"=\"kept\"\n";
  Use(reg, std::string("A") + kA + "\\r\\n\\r\\n   \\r\\nNoBrace\\r\\nB" + kB + "\\r\\nC" + kC + "\\r\\n..\\\\..{x}\\r\\n");
  auto rows = Rows();
  ASSERT_EQ(6u, rows.size());
  for (auto& row : rows) row.Checked = true;  // blank and brace-less rows too
  std::vector<int> gauge;
  const int lockFailures = LockRows(rows, [&](int percent) { gauge.push_back(percent); });
  EXPECT_EQ(3, lockFailures);
  EXPECT_EQ((std::vector<int>{17, 33, 50, 67, 83, 100}), gauge);
  EXPECT_TRUE(dialogs_.messages().empty());  // told by the caller once the rows show it
  TellLockOutcome(rows, lockFailures);
  EXPECT_EQ((std::vector<std::string>{"Failed to lock 3 of the malignant ActiveX controls!"}), Texts(dialogs_.messages()));
  EXPECT_TRUE(IsClassLocked(kA));
  EXPECT_TRUE(IsClassLocked(kB));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, ClassKey(kB).substr(19), "AlternateCLSID"));
  EXPECT_EQ(3, UnlockedCount(rows));

  // The rows without a class identifier cannot be unlocked either: no success.
  dialogs_.clear();
  const int unlockFailures = UnlockRows(rows, nullptr);
  EXPECT_EQ(3, unlockFailures);
  TellUnlockOutcome(rows, unlockFailures);
  EXPECT_EQ((std::vector<std::string>{"Failed to unlock 3 of the selected ActiveX controls!"}), Texts(dialogs_.messages()));
  std::vector<bool> ticked;
  for (const auto& row : rows) {
    ticked.push_back(row.Checked);
    EXPECT_FALSE(row.Locked);
  }
  EXPECT_EQ((std::vector<bool>{false, true, true, false, false, true}), ticked);
  // A's key was made by Lock and goes; B keeps AlternateCLSID and its other
  // flag bit; C keeps Note; the unlisted kill bit stays.
  EXPECT_FALSE(KeyExists(win::HKEY_LOCAL_MACHINE, ClassKey(kA).substr(19)));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, ClassKey(kB).substr(19), "AlternateCLSID"));
  EXPECT_EQ("dword:00000001", FlagsText(kB));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, ClassKey(kC).substr(19), "Note"));
  EXPECT_FALSE(ValueExists(win::HKEY_LOCAL_MACHINE, ClassKey(kC).substr(19), "Compatibility Flags"));
  EXPECT_TRUE(IsClassLocked(other));
  EXPECT_TRUE(KeyExists(win::HKEY_LOCAL_MACHINE, kCompat.substr(19)));
}

TEST_F(BlockActiveX, LockOfUntickedRowsClearsOnlyTheirKillBits) {
  const std::string reg = Dword(kA, "00000400") + "[" + ClassKey(kB) +
                          "]\n\"Compatibility Flags\"=dword:00000401\n\"AlternateCLSID\"=\"x\"\n";
  Use(reg, std::string("A") + kA + "\\r\\nB" + kB + "\\r\\n\\r\\n  \\r\\nNoBrace\\r\\n");
  auto rows = Rows();
  ASSERT_EQ(4u, rows.size());
  for (auto& row : rows) row.Checked = false;
  const int failed = LockRows(rows, nullptr);
  EXPECT_EQ(2, failed);  // the rows without a class identifier
  TellLockOutcome(rows, failed);
  EXPECT_EQ((std::vector<std::string>{"Failed to lock 2 of the malignant ActiveX controls!"}),
            Texts(dialogs_.messages()));
  EXPECT_FALSE(KeyExists(win::HKEY_LOCAL_MACHINE, ClassKey(kA).substr(19)));
  // B keeps its other bit and value; the parent key stays.
  EXPECT_EQ("dword:00000001", FlagsText(kB));
  EXPECT_TRUE(ValueExists(win::HKEY_LOCAL_MACHINE, ClassKey(kB).substr(19), "AlternateCLSID"));
  EXPECT_TRUE(KeyExists(win::HKEY_LOCAL_MACHINE, kCompat.substr(19)));
  EXPECT_EQ(4, UnlockedCount(rows));
}

TEST_F(BlockActiveX, AnEmptyListGetsNoSuccessMessage) {
  for (const std::string& code : {std::string(), std::string("\\r\\n\\r\\n")}) {
    SCOPED_TRACE(code);
    Use("", code);
    dialogs_.clear();
    auto rows = Rows();
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(dialogs_.messages().size(), code.empty() ? 1u : 0u);  // a missing list is told at once
    dialogs_.clear();
    TellLockOutcome(rows, LockRows(rows, nullptr));
    TellUnlockOutcome(rows, UnlockRows(rows, nullptr));
    EXPECT_EQ((std::vector<std::string>{kEmptyListMessage, kEmptyListMessage}), Texts(dialogs_.messages()));
    EXPECT_EQ(dialogs_.messages()[0].flags, MB_OK | MB_ICONWARNING);
  }
}

TEST_F(BlockActiveX, OddListsAreListedButTouchNothing) {
  Use(Dword(kA, "00000400"), "");
  std::string code = "Binary\x01\x02\xff{\x80\x81}\r\n";
  code += "Long{" + std::string(100000, 'A') + "}\r\n";
  code += "Up{..\\..\\..\\Internet Explorer}\r\nSlash{11111111-2222-3333-4444-55555555555\\}\r\n";
  ASSERT_TRUE(win::WriteFileBytes(kCodePath, std::vector<std::uint8_t>(code.begin(), code.end())));
  auto rows = Rows();
  ASSERT_EQ(4u, rows.size());
  EXPECT_EQ(100002u, rows[1].Clsid.size());
  const Snapshot before = TakeSnapshot();
  for (auto& row : rows) row.Checked = true;
  EXPECT_EQ(4, LockRows(rows, nullptr));
  for (auto& row : rows) row.Checked = false;
  EXPECT_EQ(4, LockRows(rows, nullptr));
  EXPECT_EQ(4, UnlockRows(rows, nullptr));
  EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());
}

TEST_F(BlockActiveX, ReadOnlyKeyGivesTheFailureMessages) {
  const std::string config = MachineConfigWith("[ReadOnlyKeys]\r\n1=" + kCompat + "\r\n");
  Use(Dword(kA, "00000400"), std::string("A") + kA + "\\r\\nB" + kB + "\\r\\n", config);
  auto rows = Rows();
  ASSERT_EQ(2u, rows.size());
  rows[1].Checked = true;
  EXPECT_EQ(1, LockRows(rows, nullptr));
  EXPECT_FALSE(rows[1].Locked);
  EXPECT_TRUE(rows[0].Locked);  // ticked and still blocked
  dialogs_.clear();
  EXPECT_EQ(1, UnlockRows(rows, nullptr));
  TellUnlockOutcome(rows, 1);
  EXPECT_EQ((std::vector<std::string>{"Failed to unlock 1 of the selected ActiveX controls!"}),
            Texts(dialogs_.messages()));
  EXPECT_TRUE(rows[0].Checked);
  EXPECT_TRUE(IsClassLocked(kA));
}

// Download of "Code" from the machine's update server.
class CodeDownload : public BlockActiveX {
 protected:
  void Serve(LocalHttpServer::Response answer, const std::string& files = "") {
    server_ = std::make_unique<LocalHttpServer>(std::map<std::string, LocalHttpServer::Response>{
        {"/update/Code", std::move(answer)}});
    UseMachine("", files, MachineConfigWith("[Servers]\r\nUpdate=" + server_->url() + "\r\n"));
    http_.SetReadTimeout(500);
  }
  std::size_t Requests() const { return server_->requests().size(); }
  std::unique_ptr<LocalHttpServer> server_;
  win::HttpClient http_;
  WaitRecorder wait_;
};

TEST_F(CodeDownload, MissingListIsFetchedOnceUnderTheWaitWindow) {
  Serve(LocalHttpServer::Answer(200, std::string("A") + kA + "\r\nB" + kB + "\r\n"));
  EXPECT_TRUE(EnsureCodeFile(http_, &wait_));
  EXPECT_EQ((std::vector<std::string>{"Fernwick - Block ActiveX / Please wait while the related data is being loaded."}),
            wait_.shown);
  EXPECT_EQ(1, wait_.closed);
  ASSERT_EQ(1u, Requests());
  const std::string request = server_->requests()[0];
  EXPECT_EQ("Mozilla/3.0 (compatible; Indy Library)", LocalHttpServer::HeaderValue(request, "User-Agent"));
  EXPECT_EQ(2u, Rows().size());

  EXPECT_TRUE(EnsureCodeFile(http_, &wait_));  // now there: not asked again
  EXPECT_EQ(1u, Requests());
  EXPECT_EQ(1u, wait_.shown.size());
}

TEST_F(CodeDownload, ExistingListIsNotRequested) {
  Serve(LocalHttpServer::Answer(200, "other"), std::string(kCodePath) + " | text=A" + kA + "\\r\\n\n");
  EXPECT_TRUE(EnsureCodeFile(http_, &wait_));
  EXPECT_EQ(0u, Requests());
  EXPECT_TRUE(wait_.shown.empty());
}

TEST_F(CodeDownload, NoListIsToldAndTriedAgainAtTheNextOpening) {
  struct Case {
    const char* what;
    LocalHttpServer::Response answer;
    std::string files;
  };
  LocalHttpServer::Response slow = LocalHttpServer::Answer(200, "late");
  slow.delayMs = 1500;
  const Case cases[] = {
      {"404", LocalHttpServer::Answer(404, "A{x}"), ""},
      {"timeout", slow, ""},
      {"empty body", LocalHttpServer::Answer(200, ""), ""},
      {"empty file, 404", LocalHttpServer::Answer(404, ""), std::string(kCodePath) + " | size=0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs_.clear();
    Serve(c.answer, c.files);
    EXPECT_FALSE(EnsureCodeFile(http_, &wait_));
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ((std::vector<std::string>{"Cannot open file \"C:\\Program Files\\Fernwick\\Code\"."}),
              Texts(dialogs_.messages()));
    ASSERT_EQ(1u, dialogs_.messages().size());
    EXPECT_EQ("Fernwick", dialogs_.messages()[0].caption);
    EXPECT_FALSE(EnsureCodeFile(http_, &wait_));
    for (int i = 0; i < 100 && Requests() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(2u, Requests());
  }
}

}  // namespace
