#include "recovery/UnitSystemError.h"

#include <gtest/gtest.h>

#include <map>

#include "LocalHttpServer.h"
#include "RecoveryFixture.h"
#include "platform/files/FileSystem.h"
#include "shell/Dialogs.h"

namespace {

using namespace recovery;
using recovery::test::DumpTree;
using recovery::test::MachineConfigWith;
using recovery::test::RegcleanTest;
using recovery::test::ValueExists;

const char* const kListPath = "C:\\Program Files\\Fernwick\\errorlist.txt";
const std::string kKey = "HKEY_CURRENT_USER\\Software\\Test";

std::vector<std::string> Captions(const std::vector<ErrorRow>& rows) {
  std::vector<std::string> captions;
  for (const ErrorRow& row : rows) captions.push_back(row.Caption + (row.Mark.empty() ? "" : " [reg]"));
  return captions;
}

std::vector<std::string> Texts(const ScriptedDialogs& dialogs) {
  std::vector<std::string> texts;
  for (const auto& message : dialogs.messages()) texts.push_back(message.text);
  return texts;
}

class ErrorUtilities : public RegcleanTest {
 protected:
  ErrorUtilities() { UseTestKeys(); }
  void UseTestKeys() {
    UseMachine("[HKEY_CURRENT_USER\\Software\\Test]\n"
               "\"Keep\"=\"stay\"\n"
               "\"Dword\"=dword:00000001\n"
               "\"Gone\"=\"x\"\n"
               "\"Text\"=\"old\"\n"
               "[HKEY_CURRENT_USER\\Software\\Locked]\n"
               "\"Gone\"=\"x\"\n",
               "", MachineConfigWith("[ReadOnlyKeys]\r\n1=HKEY_CURRENT_USER\\Software\\Locked\r\n"));
  }
  ScriptedDialogs dialogs_;
};

std::string Value(const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly("\\Software\\Test")) return "<no key>";
  if (const auto text = registry.ReadString(name)) return "sz:" + *text;
  if (const auto number = registry.ReadInteger(name)) return "dword:" + std::to_string(*number);
  return registry.ValueExists(name) ? "<other>" : "<none>";
}

}  // namespace

TEST(ErrorListParse, LinesMakeItemsAndRows) {
  const std::vector<std::string> lines = {
      "A)HKEY_CURRENT_USER\\Software\\X||v#1$1@0##About A, with a comma",
      "A)HKEY_CURRENT_USER\\Software\\Y||w#$2@0##Second key of A",
      "",
      "no parenthesis||x#1$1@0##d",
      "C)no bars here##d",
      "B)HKEY_CURRENT_USER\\Software\\Z||x#a$1@1##About B",
      "a)HKEY_CURRENT_USER\\Software\\W||z#1$1@0##A again, other case",
      "A)HKEY_CURRENT_USER\\Software\\V||z#1$1@0##A again",
  };
  TErrorContents contents;
  std::vector<ErrorRow> rows;
  ParseErrorList(lines, contents, rows);
  AddBuiltInErrors(rows);
  EXPECT_EQ(Captions(rows), (std::vector<std::string>{
                                "A [reg]", "B [reg]", "a [reg]", "A [reg]",
                                "\"Internal application error\" occurred in Windows Media Player",
                                "1607: Unable to install InstallShield Scripting Runtime",
                                "Unable to open new window by IE hyperlink",
                                "Unable to update Windows online"}));
  ASSERT_EQ(contents.Count(), 5);
  const TContent& first = contents.GetItem(0).Content;
  EXPECT_EQ(first.KeyPath, "HKEY_CURRENT_USER\\Software\\X");
  EXPECT_EQ(first.SpecList, "v#1$1@0##About A, with a comma");
  EXPECT_EQ(first.Description, u"About A, with a comma");
  EXPECT_EQ(GetErrorDescription(contents, "A"), "About A, with a comma");
  EXPECT_EQ(GetErrorDescription(contents, "missing"), "");
  EXPECT_EQ(ErrorRowDescription(rows[1], contents), "About B");
  EXPECT_EQ(ErrorRowDescription(rows[6], contents), "It was unable to open new Window in IE hyperlink. ");
}

TEST(ErrorListParse, FixesComeOnlyFromBeforeTheDescription) {
  struct Case {
    const char* specList;
    std::vector<std::string> fixes;  // name|data|action|type
  };
  const Case cases[] = {
      {"a#1$1@0,b#text$1@1##desc", {"a|1|1|0", "b|text|1|1"}},
      {"a#1$1@0##Do not #evil$2@0, or b#x$2@0", {"a|1|1|0"}},
      {"noHash$1@0,noDollar#1@0,noAt#1$1,,##", {}},
      {"#$@", {"||0|0"}},
      {"v#$x@y", {"v||0|0"}},
      {"only a description", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> fixes;
    for (const RegistryFix& fix : ParseFixes(c.specList)) {
      fixes.push_back(fix.Name + "|" + fix.Data + "|" + std::to_string(fix.Action) + "|" +
                      std::to_string(fix.Type));
    }
    EXPECT_EQ(fixes, c.fixes) << c.specList;
  }
  EXPECT_EQ(SplitCommaList("a,,b,"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(StrToIntOrZero("-12"), -12);
  EXPECT_EQ(StrToIntOrZero("x"), 0);
  EXPECT_EQ(StrToIntOrZero(""), 0);
}

TEST_F(ErrorUtilities, EachFixKindDoesItsOwnThing) {
  struct Case {
    std::string keyPath;
    const char* name;
    const char* data;
    int action;
    int type;
    FixOutcome outcome;
    const char* after;  // the value afterwards
  };
  const Case cases[] = {
      {kKey, "New", "42", 1, 0, FixOutcome::Applied, "dword:42"},
      {kKey, "Dword", "-1", 1, 0, FixOutcome::Applied, "dword:-1"},
      {kKey, "Text", "new", 1, 1, FixOutcome::Applied, "sz:new"},
      {kKey, "Gone", "", 2, 7, FixOutcome::Applied, "<none>"},
      {kKey, "Missing", "", 2, 0, FixOutcome::AlreadySo, "<none>"},
      {kKey, "Keep", "x", 3, 0, FixOutcome::Skipped, "sz:stay"},
      {kKey, "Keep", "x", 1, 5, FixOutcome::Skipped, "sz:stay"},
      {kKey, "Bad", "12abc", 1, 0, FixOutcome::Failed, "<none>"},
      {kKey, "Big", "4294967296", 1, 0, FixOutcome::Failed, "<none>"},
      {"HKEY_CURRENT_USER\\Software\\NoSuchKey", "Keep", "1", 1, 0, FixOutcome::Skipped, "sz:stay"},
      {"HKEY_NOWHERE\\Software\\Test", "Keep", "1", 1, 0, FixOutcome::Skipped, "sz:stay"},
      {"HKEY_CURRENT_USER", "Keep", "1", 1, 0, FixOutcome::Failed, "sz:stay"},
      {"HKEY_CURRENT_USER\\", "Keep", "", 2, 0, FixOutcome::Failed, "sz:stay"},
      {"HKEY_CURRENT_USER", "Keep", "", 0, 0, FixOutcome::Skipped, "sz:stay"},
      {"HKEY_CURRENT_USER\\Software\\Locked", "Gone", "", 2, 0, FixOutcome::Failed, "sz:stay"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyPath + " " + c.name + " " + std::to_string(c.action) + "/" + std::to_string(c.type));
    EXPECT_EQ(ApplyRegistryFix(c.keyPath, c.name, c.data, c.action, c.type), c.outcome);
    // Fixes on other keys must leave Software\Test's "Keep" alone.
    EXPECT_EQ(Value(c.keyPath == kKey ? c.name : "Keep"), c.after);
  }
  EXPECT_EQ(DumpTree("HKEY_CURRENT_USER\\Software\\NoSuchKey"), "<none>");
  EXPECT_TRUE(ValueExists(win::HKEY_CURRENT_USER, "Software\\Locked", "Gone"));
}

TEST_F(ErrorUtilities, RepairRunsEveryFixAndCountsTheFailures) {
  TErrorContents contents;
  std::vector<ErrorRow> rows;
  ParseErrorList({"First)" + kKey + "||Dword#7$1@0##unused",
                  "Second)" + kKey + "||One#1$1@0,Two#not a number$1@0,Text#fixed$1@1##"
                  "Description naming Keep#x$2@0 must not act",
                  "second)" + kKey + "||Three#3$1@0##same title in other case"},
                 contents, rows);
  AddBuiltInErrors(rows);
  ASSERT_EQ(rows.size(), 7u);  // "Second" and "second" are two rows
  EXPECT_FALSE(RepairErrors(rows, contents));
  EXPECT_EQ(Texts(dialogs_), std::vector<std::string>{"Please select the specific item for this operation!"});

  dialogs_.clear();
  rows[1].State = 1;  // "Second"
  rows[6].State = 1;  // a built-in row contributes nothing
  EXPECT_FALSE(RepairErrors(rows, contents));
  EXPECT_EQ(Value("One"), "dword:1");
  EXPECT_EQ(Value("Two"), "<none>");
  EXPECT_EQ(Value("Text"), "sz:fixed");
  EXPECT_EQ(Value("Three"), "dword:3");
  EXPECT_EQ(Value("Keep"), "sz:stay");
  ASSERT_EQ(dialogs_.messages().size(), 1u);
  EXPECT_EQ(dialogs_.messages()[0].text, "1 registry fix(es) could not be applied!");
  EXPECT_EQ(dialogs_.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs_.messages()[0].flags, MB_OK | MB_ICONWARNING);

  dialogs_.clear();
  rows[1].State = 0;
  rows[0].State = 1;
  EXPECT_TRUE(RepairErrors(rows, contents));
  EXPECT_EQ(Value("Dword"), "dword:7");
  EXPECT_EQ(Texts(dialogs_), std::vector<std::string>{"The error(s) has been repaired successfully!"});
}

// What was ticked, the message, and what changed in the registry.
TEST_F(ErrorUtilities, RepairTellsSuccessOnlyWhenSomethingWasRepaired) {
  const std::vector<std::string> lines = {
      "Write)" + kKey + "||New#5$1@0##",
      "Gone)" + kKey + "||Absent#$2@0##the value is already gone",
      "NoKey)HKEY_CURRENT_USER\\Software\\NoSuchKey||New#5$1@0##",
      "Mixed)" + kKey + "||Bad#x$1@0,Good#ok$1@1##",
      "Locked)HKEY_CURRENT_USER\\Software\\Locked||Gone#$2@0##",
      "Nothing)" + kKey + "||Keep#x$3@0##",
  };
  constexpr std::size_t kBuiltIn = 6;
  const std::string kNew = kKey + "|New";
  struct Case {
    std::vector<std::size_t> ticked;
    const char* message;
    std::map<std::string, std::string> changes;
  };
  const Case cases[] = {
      {{0}, kErrorsRepairedMessage, {{kNew, "dword:00000005"}}},
      {{1}, kErrorsRepairedMessage, {}},
      {{0, kBuiltIn}, kErrorsRepairedMessage, {{kNew, "dword:00000005"}}},
      {{kBuiltIn}, "1 registry fix(es) could not be applied!", {}},
      {{kBuiltIn, kBuiltIn + 3}, "2 registry fix(es) could not be applied!", {}},
      {{2}, "1 registry fix(es) could not be applied!", {}},
      {{2, kBuiltIn}, "2 registry fix(es) could not be applied!", {}},
      {{5}, "1 registry fix(es) could not be applied!", {}},
      {{3}, "1 registry fix(es) could not be applied!", {{kKey + "|Good", "sz:ok"}}},
      {{4, 0}, "1 registry fix(es) could not be applied!", {{kNew, "dword:00000005"}}},
  };
  for (const Case& c : cases) {
    std::string what;
    for (std::size_t row : c.ticked) what += std::to_string(row) + " ";
    SCOPED_TRACE(what);
    UseTestKeys();
    TErrorContents contents;
    std::vector<ErrorRow> rows;
    ParseErrorList(lines, contents, rows);
    AddBuiltInErrors(rows);
    ASSERT_EQ(rows.size(), kBuiltIn + 4);
    for (std::size_t row : c.ticked) rows[row].State = 1;
    const recovery::test::Snapshot before = recovery::test::TakeSnapshot();
    dialogs_.clear();
    EXPECT_EQ(RepairErrors(rows, contents), std::string(c.message) == kErrorsRepairedMessage);
    EXPECT_EQ(Texts(dialogs_), std::vector<std::string>{c.message});
    EXPECT_EQ(recovery::test::Changes(before, recovery::test::TakeSnapshot()), c.changes);
  }
}

TEST_F(ErrorUtilities, FirstTwoRowsAreTickedOnlyAfterTheWarning) {
  std::vector<ErrorRow> rows;
  AddBuiltInErrors(rows);
  dialogs_.setNextAnswer(IDNO);
  EXPECT_FALSE(ToggleErrorRow(rows, 0));
  EXPECT_EQ(rows[0].State, 0);
  dialogs_.setNextAnswer(IDYES);
  EXPECT_TRUE(ToggleErrorRow(rows, 1));
  EXPECT_EQ(rows[1].State, 1);
  ASSERT_EQ(dialogs_.messages().size(), 2u);
  EXPECT_EQ(dialogs_.messages()[0].text, kIeOptionWarning);
  EXPECT_EQ(dialogs_.messages()[0].flags, MB_YESNO | MB_ICONWARNING);
  EXPECT_TRUE(ToggleErrorRow(rows, 1));  // unticked without asking
  EXPECT_EQ(rows[1].State, 0);
  EXPECT_TRUE(ToggleErrorRow(rows, 2));
  EXPECT_EQ(rows[2].State, 1);
  EXPECT_EQ(dialogs_.messages().size(), 2u);

  rows[0].State = 1;
  SelectAllErrorRows(rows, true);
  EXPECT_EQ(rows[0].State, 0);
  EXPECT_EQ(rows[1].State, 0);
  EXPECT_EQ(rows[2].State, 1);
  EXPECT_EQ(rows[3].State, 1);
  SelectAllErrorRows(rows, false);
  EXPECT_EQ(rows[3].State, 0);
}

class ErrorListDownload : public ErrorUtilities {
 protected:
  void Serve(LocalHttpServer::Response answer, const std::string& files = "") {
    server_ = std::make_unique<LocalHttpServer>(std::map<std::string, LocalHttpServer::Response>{
        {"/update/errorlist.txt", std::move(answer)}});
    UseMachine("", files, MachineConfigWith("[Servers]\r\nUpdate=" + server_->url() + "\r\n"));
    http_.SetReadTimeout(500);
  }
  std::unique_ptr<LocalHttpServer> server_;
  win::HttpClient http_;
  TErrorContents contents_;
  std::vector<ErrorRow> rows_;
};

TEST_F(ErrorListDownload, MissingListIsDownloadedAndRead) {
  Serve(LocalHttpServer::Answer(200, "A)" + kKey + "||v#1$1@0##About A\r\n"));
  LoadErrorList(http_, nullptr, contents_, rows_);
  EXPECT_EQ(server_->requests().size(), 1u);
  EXPECT_TRUE(win::FileExists(kListPath));
  ASSERT_EQ(rows_.size(), 5u);
  EXPECT_EQ(rows_[0].Caption, "A");
  EXPECT_TRUE(dialogs_.messages().empty());
}

TEST_F(ErrorListDownload, WithoutAListTheBuiltInRowsStillShow) {
  for (const std::string& files : {std::string(), std::string(kListPath) + " | size=0\n"}) {
    Serve(LocalHttpServer::Answer(404, ""), files);
    contents_.Clear();
    rows_.clear();
    dialogs_.clear();
    LoadErrorList(http_, nullptr, contents_, rows_);
    EXPECT_EQ(server_->requests().size(), 1u);
    EXPECT_EQ(rows_.size(), 4u);
    ASSERT_EQ(dialogs_.messages().size(), 1u);
    EXPECT_NE(dialogs_.messages()[0].text.find("errorlist.txt"), std::string::npos);
  }
}

TEST_F(ErrorListDownload, DamagedListsGiveNoFixesAndNoCrash) {
  const std::string binary("\x00\xff\x01)\x02||\x03#\x04$1@0\r\n", 16);
  const std::string cases[] = {
      binary,
      std::string(100 * 1024, 'x') + ")" + kKey + "||" + std::string(100 * 1024, ',') + "\r\n",
      ")||#$@,##\r\n)||\r\n||)\r\n",
      "T)HKEY_BOGUS\\Key||Keep#1$1@0##unknown root\r\n",
  };
  for (const std::string& text : cases) {
    Serve(LocalHttpServer::Answer(200, text));
    contents_.Clear();
    rows_.clear();
    LoadErrorList(http_, nullptr, contents_, rows_);
    for (ErrorRow& row : rows_) row.State = row.Mark.empty() ? 0 : 1;
    dialogs_.clear();
    EXPECT_FALSE(RepairErrors(rows_, contents_));
    ASSERT_EQ(dialogs_.messages().size(), 1u);
    EXPECT_NE(dialogs_.messages()[0].text, kErrorsRepairedMessage);
    EXPECT_EQ(DumpTree(kKey).find("Keep=1:"), std::string::npos);
  }
}
