#include "recovery/gui/FormRegDll.h"

#include <QHeaderView>
#include <QResizeEvent>

#include "recovery/gui/ToolWidgets.h"
#include "shell/gui/FormPlacement.h"

namespace {

constexpr int kBorder = 8;
constexpr int kStatusColumn = 150;
constexpr int kMemoHeight = 96;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 25;

const char* const kIntroText =
    "With re-registering ActiveX and .dll objects' registry keys again, this small built-in utility can solve the "
    "curious problems on your system such as: unable to open new IE windows, website displaying incomplete, "
    "unable to auto update Windows, unable to select films model to watch picture, random error with Media "
    "player, and so on. When encountered the registry problems that could not be fixed by other major utilities, it "
    "is better to try this bonus small utility to fix them. It is suggested to backup the former registry file in the safe "
    "folder before fixing them.";

}  // namespace

TFormRegDll::TFormRegDll(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("FormRegDll"));
  SetWhiteBackground(this);
  Memo = NewIntroMemo(this, "Memo", QString::fromLatin1(kIntroText));

  lvActivexDLL = NewReportList(this, "lvActivexDLL",
                               {QStringLiteral("ActiveX and .dll objects"), QStringLiteral("Status")});
  lvActivexDLL->setColumnWidth(0, 200);
  lvActivexDLL->setColumnWidth(1, kStatusColumn);
  lvActivexDLL->headerItem()->setTextAlignment(1, Qt::AlignCenter);

  btnRepair = NewPushButton(this, "btnRepair", QStringLiteral("Re-register"), [this] { btnRepairClick(); });
  btnStop = NewPushButton(this, "btnStop", QStringLiteral("Stop"), [this] { btnStopClick(); });
  resize(590, 440);
}

void TFormRegDll::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TFormRegDll::FormResize() {
  const int inner = width() - 2 * kBorder;
  Memo->setGeometry(kBorder, kBorder, inner, kMemoHeight);
  const int barTop = height() - kBorder - kButtonHeight;
  const int listTop = kBorder + kMemoHeight + 6;
  lvActivexDLL->setGeometry(kBorder, listTop, inner, std::max(0, barTop - 8 - listTop));
  lvActivexDLL->setColumnWidth(0, std::max(0, lvActivexDLL->width() - (kStatusColumn + 20)));
  btnStop->setGeometry(width() - kBorder - kButtonWidth, barTop, kButtonWidth, kButtonHeight);
  btnRepair->setGeometry(btnStop->x() - 8 - kButtonWidth, barTop, kButtonWidth, kButtonHeight);
}

void TFormRegDll::btnRepairClick() {
  // A press during a run is refused by the engine's busy check.
  recovery::ReRegisterSystemFiles(*this, running_, Runner);
}

void TFormRegDll::btnStopClick() { running_ = 0; }

void TFormRegDll::ClearRows() { lvActivexDLL->clear(); }

void TFormRegDll::AddRow(const std::string& path, const std::string& status) {
  auto* item = new QTreeWidgetItem({QString::fromStdString(path), QString::fromStdString(status)});
  item->setTextAlignment(1, Qt::AlignCenter);
  lvActivexDLL->addTopLevelItem(item);
  lvActivexDLL->scrollToItem(item);
}

TFormRegDll* CreateFormRegDll(QWidget* parent) {
  auto* form = new TFormRegDll(parent);
  form->hide();
  return form;
}
