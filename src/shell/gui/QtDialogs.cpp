#include "shell/gui/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QPushButton>
#include <QUrl>

#include "platform/FileSystem.h"
#include "platform/Machine.h"

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

QList<QUrl> DriveUrls() {
  QList<QUrl> urls;
  win::Machine* machine = win::CurrentMachine();
  if (!machine) return urls;
  for (char letter : win::GetLogicalDrives()) {
    const std::string folder = machine->DriveFolder(letter);
    if (!folder.empty()) urls.push_back(QUrl::fromLocalFile(Q(folder)));
  }
  return urls;
}

// Host folder to start in: the Windows folder asked for when it exists on
// the machine, else the first drive.
QString StartFolder(const std::string& windowsFolder) {
  if (!windowsFolder.empty()) {
    const std::string host = win::HostPath(windowsFolder);
    if (!host.empty() && QDir(Q(host)).exists()) return Q(host);
  }
  const QList<QUrl> drives = DriveUrls();
  return drives.isEmpty() ? QString() : drives.front().toLocalFile();
}

void PrepareFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setWindowTitle(Q(request.Title));
  dialog.setSidebarUrls(DriveUrls());
  dialog.setDirectory(StartFolder(request.InitialDir));
  const QStringList filters = QtNameFilters(request.Filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = request.FilterIndex - 1;
    if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
  }
  if (!request.DefaultExt.empty()) dialog.setDefaultSuffix(Q(request.DefaultExt));
  if (!request.FileName.empty()) dialog.selectFile(Q(win::ExtractFileName(request.FileName)));
}

bool RunFileDialog(QFileDialog& dialog, std::string& path) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const std::string windowsPath = WindowsPathOfHostPath(dialog.selectedFiles().front());
  if (windowsPath.empty()) return false;
  path = windowsPath;
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

QStringList QtNameFilters(const std::string& filter) {
  QStringList filters;
  const QStringList parts = Q(filter).split(QLatin1Char('|'));
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    const QString patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
    // Qt reads the patterns from the last parentheses: drop any the
    // description carries and append the real ones.
    if (description.endsWith(QLatin1Char(')'))) {
      const qsizetype open = description.lastIndexOf(QLatin1Char('('));
      if (open >= 0) description = description.left(open).trimmed();
    }
    filters << QStringLiteral("%1 (%2)").arg(description, patterns);
  }
  return filters;
}

std::string WindowsPathOfHostPath(const QString& hostPath) {
  win::Machine* machine = win::CurrentMachine();
  if (!machine || hostPath.isEmpty()) return {};
  const QString path = QDir::cleanPath(QDir(hostPath).absolutePath());
  for (char letter : win::GetLogicalDrives()) {
    const std::string folder = machine->DriveFolder(letter);
    if (folder.empty()) continue;
    const QString root = QDir::cleanPath(QDir(Q(folder)).absolutePath());
    QString rest;
    if (path == root) {
      rest = QString();
    } else if (path.startsWith(root + QLatin1Char('/'))) {
      rest = path.mid(root.size() + 1);
    } else {
      continue;
    }
    rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return std::string(1, letter) + ":\\" + rest.toStdString();
  }
  return {};
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
  QFileDialog dialog(DialogParent());
  PrepareFileDialog(dialog, request);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return RunFileDialog(dialog, fileName);
}

bool QtDialogs::SaveFileName(const FileDialogRequest& request, std::string& fileName) {
  QFileDialog dialog(DialogParent());
  PrepareFileDialog(dialog, request);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  return RunFileDialog(dialog, fileName);
}

bool QtDialogs::BrowseForFolder(const std::string& title, std::string& folder) {
  QFileDialog dialog(DialogParent());
  FileDialogRequest request;
  request.Title = title;
  request.InitialDir = folder;
  PrepareFileDialog(dialog, request);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  return RunFileDialog(dialog, folder);
}

bool QtDialogs::InputBox(const std::string& caption, const std::string& prompt, std::string& value) {
  bool ok = false;
  const QString text = QInputDialog::getText(DialogParent(), Q(caption), Q(prompt), QLineEdit::Normal, Q(value), &ok);
  if (!ok) return false;
  value = text.toStdString();
  return true;
}
