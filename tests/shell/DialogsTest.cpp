#include <gtest/gtest.h>

#include "shell/Dialogs.h"

TEST(Dialogs, FlagsGiveButtonsIconAndDefault) {
  const struct {
    unsigned flags;
    MessageButtons buttons;
    MessageIcon icon;
    int defaultAnswer;
  } cases[] = {
      {0, MessageButtons::Ok, MessageIcon::None, IDOK},
      {64, MessageButtons::Ok, MessageIcon::Information, IDOK},
      {48, MessageButtons::Ok, MessageIcon::Warning, IDOK},
      {16, MessageButtons::Ok, MessageIcon::Error, IDOK},
      {68, MessageButtons::YesNo, MessageIcon::Information, IDYES},
      {52, MessageButtons::YesNo, MessageIcon::Warning, IDYES},
      {308, MessageButtons::YesNo, MessageIcon::Warning, IDNO},
      {MB_OKCANCEL | MB_DEFBUTTON2, MessageButtons::OkCancel, MessageIcon::None, IDCANCEL},
      {MB_YESNO | MB_ICONQUESTION, MessageButtons::YesNo, MessageIcon::Question, IDYES},
  };
  for (const auto& c : cases) {
    const MessageBoxStyle style = DecodeMessageBoxFlags(c.flags);
    EXPECT_EQ(style.buttons, c.buttons) << c.flags;
    EXPECT_EQ(style.icon, c.icon) << c.flags;
    EXPECT_EQ(style.defaultAnswer, c.defaultAnswer) << c.flags;
  }
}

TEST(Dialogs, MessageLinesSplitAtCarriageReturns) {
  const struct {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      {"one line", {"one line"}},
      {"first\rsecond", {"first", "second"}},
      {"first\r\nsecond", {"first", "second"}},
      {"a\r\rb", {"a", "", "b"}},
      {"ends\r", {"ends", ""}},
      {"", {""}},
      {"no\nbreak", {"no\nbreak"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitMessageLines(c.text), c.lines) << c.text;
}

TEST(ScriptedDialogs, AnswersInOrderThenDefaultsAndRecordsEverything) {
  ScriptedDialogs dialogs;
  EXPECT_EQ(&CurrentDialogs(), &dialogs);
  dialogs.setNextAnswer(IDNO);
  dialogs.setNextAnswer(IDYES);
  EXPECT_EQ(CurrentDialogs().MessageBox("Delete?", "Fernwick", 52), IDNO);
  EXPECT_EQ(CurrentDialogs().MessageBox("Sure?", "Fernwick", 308), IDYES);
  EXPECT_EQ(dialogs.pendingAnswers(), 0u);
  EXPECT_EQ(CurrentDialogs().MessageBox("Again?", "Fernwick", 308), IDNO);
  EXPECT_EQ(CurrentDialogs().MessageBox("Update?", "Fernwick", 68), IDYES);
  EXPECT_EQ(CurrentDialogs().MessageBox("Done.", "Fernwick", 64), IDOK);

  ASSERT_EQ(dialogs.messages().size(), 5u);
  EXPECT_EQ(dialogs.messages()[1].text, "Sure?");
  EXPECT_EQ(dialogs.messages()[1].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[1].flags, 308u);
  dialogs.clear();
  EXPECT_TRUE(dialogs.messages().empty());
}

TEST(ScriptedDialogs, ChoosersAndInputTakeQueuedAnswersOrCancel) {
  ScriptedDialogs dialogs;
  FileDialogRequest request;
  request.Title = "Open";
  request.Filter = "Registry files|*.reg";
  std::string path = "unchanged";
  EXPECT_FALSE(CurrentDialogs().OpenFileName(request, path)) << "nothing queued: cancelled";
  EXPECT_EQ(path, "unchanged");

  dialogs.setNextFileName("C:\\backup.reg");
  dialogs.setNextFileName(std::nullopt);
  EXPECT_TRUE(CurrentDialogs().SaveFileName(request, path));
  EXPECT_EQ(path, "C:\\backup.reg");
  std::string folder = "C:\\";
  EXPECT_FALSE(CurrentDialogs().BrowseForFolder("Choose a folder", folder));
  EXPECT_EQ(folder, "C:\\");
  ASSERT_EQ(dialogs.fileRequests().size(), 3u);
  EXPECT_EQ(dialogs.fileRequests()[1].kind, ScriptedDialogs::FileRequest::Kind::Save);
  EXPECT_EQ(dialogs.fileRequests()[1].request.Filter, "Registry files|*.reg");
  EXPECT_EQ(dialogs.fileRequests()[2].request.Title, "Choose a folder");
  EXPECT_EQ(dialogs.fileRequests()[2].request.InitialDir, "C:\\");

  std::string value = "proposed";
  dialogs.setNextInput("typed");
  EXPECT_TRUE(CurrentDialogs().InputBox("Caption", "Prompt", value));
  EXPECT_EQ(value, "typed");
  EXPECT_FALSE(CurrentDialogs().InputBox("Caption", "Prompt", value));
  EXPECT_EQ(value, "typed");
  ASSERT_EQ(dialogs.inputRequests().size(), 2u);
  EXPECT_EQ(dialogs.inputRequests()[0].value, "proposed");
}

TEST(ScriptedDialogs, PutsThePreviousDialogsBack) {
  Dialogs& before = CurrentDialogs();
  {
    ScriptedDialogs outer;
    {
      ScriptedDialogs inner;
      EXPECT_EQ(&CurrentDialogs(), &inner);
    }
    EXPECT_EQ(&CurrentDialogs(), &outer);
  }
  EXPECT_EQ(&CurrentDialogs(), &before);
  // The fallback answers with defaults and cancels choosers.
  SetCurrentDialogs(nullptr);
  EXPECT_EQ(CurrentDialogs().MessageBox("x", "y", 308), IDNO);
  std::string value;
  EXPECT_FALSE(CurrentDialogs().InputBox("x", "y", value));
  SetCurrentDialogs(&before);
}
