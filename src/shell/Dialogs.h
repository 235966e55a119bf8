#pragma once
// Message boxes, file and folder choosers and input boxes. Engine code asks
// CurrentDialogs(); the program installs Qt dialogs, tests install
// ScriptedDialogs.

#include <deque>
#include <optional>
#include <string>
#include <vector>

// Message box flags and answers (Windows values).
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_DEFBUTTON2 = 0x100;
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONMASK = 0xF0;
constexpr unsigned MB_DEFMASK = 0xF00;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };

// What a flag word asks for: buttons, icon and which answer is the default.
struct MessageBoxStyle {
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
  int defaultAnswer = IDOK;
};
MessageBoxStyle DecodeMessageBoxFlags(unsigned flags);

// Message text as shown: one line per carriage-return-separated part
// ("\r\n" counts as one break).
std::vector<std::string> SplitMessageLines(const std::string& text);

// Filter is "Description|*.ext;*.ext2|Other|*.*"; FilterIndex is 1-based.
struct FileDialogRequest {
  std::string Title;
  std::string Filter;
  int FilterIndex = 1;
  std::string InitialDir;
  std::string DefaultExt;  // without the dot; appended when the name has none
  std::string FileName;    // proposed name
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Returns IDOK, IDCANCEL, IDYES or IDNO.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // True and the chosen Windows path in fileName when the user accepts.
  virtual bool OpenFileName(const FileDialogRequest& request, std::string& fileName) = 0;
  virtual bool SaveFileName(const FileDialogRequest& request, std::string& fileName) = 0;
  // folder holds the starting folder on entry and the chosen one on success.
  virtual bool BrowseForFolder(const std::string& title, std::string& folder) = 0;
  // value holds the proposed text on entry and the entered text on OK.
  virtual bool InputBox(const std::string& caption, const std::string& prompt, std::string& value) = 0;
};

// Answers every question with its default button and cancels every chooser.
class DefaultAnswerDialogs : public Dialogs {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool OpenFileName(const FileDialogRequest& request, std::string& fileName) override;
  bool SaveFileName(const FileDialogRequest& request, std::string& fileName) override;
  bool BrowseForFolder(const std::string& title, std::string& folder) override;
  bool InputBox(const std::string& caption, const std::string& prompt, std::string& value) override;
};

// The dialogs in use; without SetCurrentDialogs a DefaultAnswerDialogs.
Dialogs& CurrentDialogs();
// nullptr restores the default; the caller keeps ownership.
void SetCurrentDialogs(Dialogs* dialogs);

// Test dialogs: answers are taken from queues in order; with an empty queue a
// message box gives its default button and a chooser or input box is
// cancelled. Every call is recorded. Installs itself as the current dialogs
// for its lifetime and puts the previous ones back afterwards.
class ScriptedDialogs : public DefaultAnswerDialogs {
 public:
  struct Message {
    std::string text;
    std::string caption;
    unsigned flags = 0;
  };
  struct FileRequest {
    enum class Kind { Open, Save, Folder } kind = Kind::Open;
    FileDialogRequest request;  // for a folder: Title and InitialDir
  };
  struct InputRequest {
    std::string caption;
    std::string prompt;
    std::string value;
  };

  ScriptedDialogs();
  ~ScriptedDialogs() override;
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  void setNextAnswer(int answer) { answers_.push_back(answer); }
  // std::nullopt queues a cancelled chooser.
  void setNextFileName(std::optional<std::string> path) { paths_.push_back(std::move(path)); }
  void setNextInput(std::optional<std::string> text) { inputs_.push_back(std::move(text)); }

  const std::vector<Message>& messages() const { return messages_; }
  const std::vector<FileRequest>& fileRequests() const { return fileRequests_; }
  const std::vector<InputRequest>& inputRequests() const { return inputRequests_; }
  std::size_t pendingAnswers() const { return answers_.size(); }
  void clear();

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool OpenFileName(const FileDialogRequest& request, std::string& fileName) override;
  bool SaveFileName(const FileDialogRequest& request, std::string& fileName) override;
  bool BrowseForFolder(const std::string& title, std::string& folder) override;
  bool InputBox(const std::string& caption, const std::string& prompt, std::string& value) override;

 private:
  bool NextPath(FileRequest::Kind kind, const FileDialogRequest& request, std::string& path);

  Dialogs* previous_;
  std::deque<int> answers_;
  std::deque<std::optional<std::string>> paths_;
  std::deque<std::optional<std::string>> inputs_;
  std::vector<Message> messages_;
  std::vector<FileRequest> fileRequests_;
  std::vector<InputRequest> inputRequests_;
};
