#include "shell/gui/QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QPushButton>

#include "shell/gui/MachineChooserDialog.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QWidget* DialogParent() { return QApplication::activeWindow(); }

QMessageBox::Icon QtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton QtButton(int answer) {
  switch (answer) {
    case IDYES: return QMessageBox::Yes;
    case IDNO: return QMessageBox::No;
    case IDCANCEL: return QMessageBox::Cancel;
    default: return QMessageBox::Ok;
  }
}

bool RunChooser(ChooserKind kind, const FileDialogRequest& request, std::string& path) {
  MachineChooserDialog dialog(kind, request, DialogParent());
  if (dialog.exec() != QDialog::Accepted || dialog.ChosenPath().empty()) return false;
  path = dialog.ChosenPath();
  return true;
}

}  // namespace

void SetUpMessageBox(QMessageBox& box, const std::string& text, const std::string& caption, unsigned flags) {
  const MessageBoxStyle style = DecodeMessageBoxFlags(flags);
  QStringList lines;
  for (const std::string& line : SplitMessageLines(text)) lines << Q(line);
  box.setTextFormat(Qt::PlainText);
  box.setText(lines.join(QLatin1Char('\n')));
  box.setWindowTitle(Q(caption));
  box.setIcon(QtIcon(style.icon));
  switch (style.buttons) {
    case MessageButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MessageButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MessageButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
  }
  box.setDefaultButton(QtButton(style.defaultAnswer));
}

int MessageBoxAnswer(const QMessageBox& box) {
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Ok: return IDOK;
    default: break;
  }
  // Closed without a button: the escape answer of its buttons.
  if (box.button(QMessageBox::No)) return IDNO;
  if (box.button(QMessageBox::Cancel)) return IDCANCEL;
  return IDOK;
}

int QtDialogs::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    return DecodeMessageBoxFlags(flags).defaultAnswer;
  QMessageBox box(DialogParent());
  SetUpMessageBox(box, text, caption, flags);
  box.exec();
  return MessageBoxAnswer(box);
}

bool QtDialogs::OpenFileName(const FileDialogRequest& request, std::string& fileName) {
  return RunChooser(ChooserKind::Open, request, fileName);
}

bool QtDialogs::SaveFileName(const FileDialogRequest& request, std::string& fileName) {
  return RunChooser(ChooserKind::Save, request, fileName);
}

bool QtDialogs::BrowseForFolder(const std::string& title, std::string& folder) {
  FileDialogRequest request;
  request.Title = title;
  request.InitialDir = folder;
  return RunChooser(ChooserKind::Folder, request, folder);
}

bool QtDialogs::InputBox(const std::string& caption, const std::string& prompt, std::string& value) {
  bool ok = false;
  const QString text = QInputDialog::getText(DialogParent(), Q(caption), Q(prompt), QLineEdit::Normal, Q(value), &ok);
  if (!ok) return false;
  value = text.toStdString();
  return true;
}
