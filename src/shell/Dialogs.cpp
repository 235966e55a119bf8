#include "shell/Dialogs.h"

MessageBoxStyle DecodeMessageBoxFlags(unsigned flags) {
  MessageBoxStyle style;
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: style.buttons = MessageButtons::OkCancel; break;
    case MB_YESNO: style.buttons = MessageButtons::YesNo; break;
    default: style.buttons = MessageButtons::Ok; break;
  }
  switch (flags & MB_ICONMASK) {
    case MB_ICONERROR: style.icon = MessageIcon::Error; break;
    case MB_ICONQUESTION: style.icon = MessageIcon::Question; break;
    case MB_ICONWARNING: style.icon = MessageIcon::Warning; break;
    case MB_ICONINFORMATION: style.icon = MessageIcon::Information; break;
    default: style.icon = MessageIcon::None; break;
  }
  const bool second = (flags & MB_DEFMASK) == MB_DEFBUTTON2;
  switch (style.buttons) {
    case MessageButtons::Ok: style.defaultAnswer = IDOK; break;
    case MessageButtons::OkCancel: style.defaultAnswer = second ? IDCANCEL : IDOK; break;
    case MessageButtons::YesNo: style.defaultAnswer = second ? IDNO : IDYES; break;
  }
  return style;
}

std::vector<std::string> SplitMessageLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines.push_back(line);
      line.clear();
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  lines.push_back(line);
  return lines;
}

int DefaultAnswerDialogs::MessageBox(const std::string&, const std::string&, unsigned flags) {
  return DecodeMessageBoxFlags(flags).defaultAnswer;
}
bool DefaultAnswerDialogs::OpenFileName(const FileDialogRequest&, std::string&) { return false; }
bool DefaultAnswerDialogs::SaveFileName(const FileDialogRequest&, std::string&) { return false; }
bool DefaultAnswerDialogs::BrowseForFolder(const std::string&, std::string&) { return false; }
bool DefaultAnswerDialogs::InputBox(const std::string&, const std::string&, std::string&) { return false; }

namespace {
Dialogs* g_current = nullptr;

// Takes the next queued text into target; false for an empty queue or a
// queued cancel.
bool TakeNext(std::deque<std::optional<std::string>>& queue, std::string& target) {
  if (queue.empty()) return false;
  std::optional<std::string> next = std::move(queue.front());
  queue.pop_front();
  if (!next) return false;
  target = *next;
  return true;
}

Dialogs& FallbackDialogs() {
  static DefaultAnswerDialogs fallback;
  return fallback;
}
}  // namespace

Dialogs& CurrentDialogs() { return g_current ? *g_current : FallbackDialogs(); }
void SetCurrentDialogs(Dialogs* dialogs) { g_current = dialogs; }

ScriptedDialogs::ScriptedDialogs() : previous_(g_current) { SetCurrentDialogs(this); }

ScriptedDialogs::~ScriptedDialogs() {
  if (g_current == this) SetCurrentDialogs(previous_);
}

void ScriptedDialogs::clear() {
  answers_.clear();
  paths_.clear();
  inputs_.clear();
  messages_.clear();
  fileRequests_.clear();
  inputRequests_.clear();
}

int ScriptedDialogs::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  messages_.push_back({text, caption, flags});
  if (answers_.empty()) return DefaultAnswerDialogs::MessageBox(text, caption, flags);
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

bool ScriptedDialogs::NextPath(FileRequest::Kind kind, const FileDialogRequest& request, std::string& path) {
  fileRequests_.push_back({kind, request});
  return TakeNext(paths_, path);
}

bool ScriptedDialogs::OpenFileName(const FileDialogRequest& request, std::string& fileName) {
  return NextPath(FileRequest::Kind::Open, request, fileName);
}

bool ScriptedDialogs::SaveFileName(const FileDialogRequest& request, std::string& fileName) {
  return NextPath(FileRequest::Kind::Save, request, fileName);
}

bool ScriptedDialogs::BrowseForFolder(const std::string& title, std::string& folder) {
  FileDialogRequest request;
  request.Title = title;
  request.InitialDir = folder;
  return NextPath(FileRequest::Kind::Folder, request, folder);
}

bool ScriptedDialogs::InputBox(const std::string& caption, const std::string& prompt, std::string& value) {
  inputRequests_.push_back({caption, prompt, value});
  return TakeNext(inputs_, value);
}
