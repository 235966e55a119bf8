#include "tools/gui/OptimizeForm.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "platform/files/FileSystem.h"
#include "shell/BusyGuard.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/GridLines.h"
#include "tools/SpeedItemUnit.h"

namespace {

constexpr int kBorder = 8;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 26;
constexpr int kMemoHeight = 64;

const char* const kIntroLines =
    "The System Optimizer utility will automatically optimize all the categories below in their "
    "optimal speed with\n"
    "standard optimization options. Click on Fast Optimize button, this utility will automatically "
    "optimize your system\n"
    "with the preset settings of the optimization model that you can choose below, or you can "
    "customize the settings\n"
    "by clicking on Next button.";

// Tweak boxes under each heading (first box number of each group).
const struct {
  const char* heading;
  int first, last;
} kTweakGroups[] = {
    {"System Vision Optimization Options", 1, 6},
    {"System Performance Optimization Options", 7, 13},
    {"System Network Optimization Options", 14, 18},
    {"Other System Optimization Options", 19, 27},
};

QPlainTextEdit* NewMemo(QWidget* parent, const char* name) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(QString::fromLatin1(name));
  memo->setReadOnly(true);
  return memo;
}

QLabel* NewHeading(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

QScrollArea* NewScrollBox(QWidget* page, const char* name, QWidget*& content, QVBoxLayout*& layout) {
  auto* box = new QScrollArea(page);
  box->setObjectName(QString::fromLatin1(name));
  box->setWidgetResizable(true);
  content = new QWidget;
  SetWhiteBackground(content);
  layout = new QVBoxLayout(content);
  layout->setSpacing(2);
  box->setWidget(content);
  return box;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->resize(kButtonWidth, kButtonHeight);
  return button;
}

}  // namespace

TOptimizeForm::TOptimizeForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("OptimizeForm"));
  SetWhiteBackground(this);
  resize(590, 440);
  const int inner = width() - 2 * kBorder;
  const int pageHeight = height() - 3 * kBorder - kButtonHeight;

  Notebook1 = new QStackedWidget(this);
  Notebook1->setObjectName(QStringLiteral("Notebook1"));
  Notebook1->setGeometry(kBorder, kBorder, inner, pageHeight);
  QWidget* pages[4];
  for (int i = 0; i < 4; ++i) {
    pages[i] = new QWidget;
    pages[i]->setObjectName(QString::number(i + 1));
    SetWhiteBackground(pages[i]);
    Notebook1->addWidget(pages[i]);
  }

  // Page "1": the models.
  Memo1 = NewMemo(pages[0], "Memo1");
  Memo1->setPlainText(QString::fromLatin1(kIntroLines));
  Memo1->setGeometry(0, 0, inner, 78);
  RGMode = new QGroupBox(QStringLiteral("Select the optimization model"), pages[0]);
  RGMode->setObjectName(QStringLiteral("RGMode"));
  RGMode->setGeometry(0, 86, inner, 130);
  RGModeButtons = new QButtonGroup(this);
  for (int model = 0; model < tools::kModelCount; ++model) {
    auto* radio = new QRadioButton(QString::fromUtf8(tools::ModelNames[static_cast<std::size_t>(model)]), RGMode);
    radio->setGeometry(16 + (model % 2) * (inner / 2), 24 + (model / 2) * 25, inner / 2 - 24, 22);
    RGModeButtons->addButton(radio, model);
  }
  connect(RGModeButtons, &QButtonGroup::idClicked, this, [this](int) { RGModeClick(); });
  MemoText = NewMemo(pages[0], "MemoText");
  MemoText->setGeometry(0, 224, inner, pageHeight - 224);

  // Page "2": the services.
  QWidget* content = nullptr;
  QVBoxLayout* layout = nullptr;
  QScrollArea* scroll1 = NewScrollBox(pages[1], "ScrollBox1", content, layout);
  scroll1->setGeometry(0, 0, inner, pageHeight - kMemoHeight - kBorder);
  layout->addWidget(NewHeading("Select the optimization model", content));
  for (std::size_t i = 0; i < chk.size(); ++i) {
    chk[i] = new QCheckBox(QString::fromLatin1(tools::ServiceBoxes[i].caption), content);
    chk[i]->setObjectName(QStringLiteral("chk%1").arg(i + 1));
    chk[i]->installEventFilter(this);
    layout->addWidget(chk[i]);
  }
  layout->addStretch();
  MemoSer = NewMemo(pages[1], "MemoSer");
  MemoSer->setGeometry(0, pageHeight - kMemoHeight, inner, kMemoHeight);

  // Page "3": the tweaks.
  QScrollArea* scroll2 = NewScrollBox(pages[2], "ScrollBox2", content, layout);
  scroll2->setGeometry(0, 0, inner, pageHeight - kMemoHeight - kBorder);
  for (const auto& group : kTweakGroups) {
    layout->addWidget(NewHeading(group.heading, content));
    for (int box = group.first; box <= group.last; ++box) {
      const std::size_t i = static_cast<std::size_t>(box - 1);
      Ochk[i] = new QCheckBox(QString::fromLatin1(tools::TweakBoxes[i].caption), content);
      Ochk[i]->setObjectName(QStringLiteral("Ochk%1").arg(box));
      Ochk[i]->installEventFilter(this);
      layout->addWidget(Ochk[i]);
    }
  }
  layout->addStretch();
  MemoReg = NewMemo(pages[2], "MemoReg");
  MemoReg->setGeometry(0, pageHeight - kMemoHeight, inner, kMemoHeight);

  // Page "4": the backups.
  ListView1 = new QTreeWidget(pages[3]);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setHeaderLabels({QStringLiteral("Reset Item"), QString()});
  ListView1->setColumnWidth(0, 200);
  ListView1->setColumnWidth(1, 300);
  ListView1->setRootIsDecorated(false);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ShowGridLines(ListView1);
  ListView1->setGeometry(0, 0, inner, pageHeight - kButtonHeight - kBorder);
  BtnRestore = NewButton(pages[3], "BtnRestore", "Restore");
  btndelete = NewButton(pages[3], "btndelete", "Delete Item");
  btndelete->move(inner - kButtonWidth, pageHeight - kButtonHeight);
  BtnRestore->move(inner - 2 * kButtonWidth - kBorder, pageHeight - kButtonHeight);
  connect(BtnRestore, &QPushButton::clicked, this, [this] { BtnRestoreClick(); });
  connect(btndelete, &QPushButton::clicked, this, [this] { btndeleteClick(); });

  // The button row.
  const int rowTop = height() - kBorder - kButtonHeight;
  btnOneClick = NewButton(this, "btnOneClick", "Fast Optimize");
  ReturnBtn = NewButton(this, "ReturnBtn", "Back");
  btnOptimize = NewButton(this, "btnOptimize", "Next");
  btnExe = NewButton(this, "btnExe", "Optimize");
  btnDefault = NewButton(this, "btnDefault", "Reset");
  int x = width() - kBorder - 4 * kButtonWidth - 3 * kBorder;
  for (QPushButton* button : {btnOneClick, ReturnBtn, btnOptimize, btnDefault}) {
    button->move(x, rowTop);
    x += kButtonWidth + kBorder;
  }
  btnExe->move(btnOptimize->pos());
  connect(btnOneClick, &QPushButton::clicked, this, [this] { btnOneClickClick(); });
  connect(ReturnBtn, &QPushButton::clicked, this, [this] { ReturnBtnClick(); });
  connect(btnOptimize, &QPushButton::clicked, this, [this] { btnOptimizeClick(); });
  connect(btnExe, &QPushButton::clicked, this, [this] { btnExeClick(); });
  connect(btnDefault, &QPushButton::clicked, this, [this] { btnDefaultClick(); });

  FormCreate();
}

TOptimizeForm::~TOptimizeForm() = default;

QString TOptimizeForm::ActivePage() const { return Notebook1->currentWidget()->objectName(); }

int TOptimizeForm::SelectedModel() const { return RGModeButtons->checkedId(); }

void TOptimizeForm::SelectModel(int model) {
  if (QAbstractButton* button = RGModeButtons->button(model)) button->setChecked(true);
  RGModeClick();
}

void TOptimizeForm::FormCreate() {
  SetPage(1);
  btnExe->hide();
  btnOptimize->show();
  RGModeButtons->button(1)->setChecked(true);
  MemoText->setPlainText(QString::fromLatin1(tools::ModelDescriptions[1]));
}

void TOptimizeForm::RGModeClick() {
  const int model = SelectedModel();
  if (model >= 0) MemoText->setPlainText(QString::fromUtf8(tools::ModelDescriptions[static_cast<std::size_t>(model)]));
}

void TOptimizeForm::SetPage(int page) {
  Notebook1->setCurrentIndex(page - 1);
  Notebook1PageChanged();
}

void TOptimizeForm::Notebook1PageChanged() {
  if (ActivePage() != QLatin1String("3")) return;
  tools::TweakTicks ticks = TweakTicks();
  tools::SetTweakBoxesForModel(SelectedModel(), ticks);
  SetTweakTicks(ticks);
}

void TOptimizeForm::btnOptimizeClick() {
  if (ActivePage() == QLatin1String("1")) {
    SetPage(2);
    btnDefault->setEnabled(false);
    tools::ServiceTicks ticks = ServiceTicks();
    tools::SetServiceBoxesForModel(SelectedModel(), ticks);
    SetServiceTicks(ticks);
  } else if (ActivePage() == QLatin1String("2")) {
    SetPage(3);
    btnExe->show();
    btnDefault->setEnabled(false);
    btnOptimize->hide();
  }
}

void TOptimizeForm::ReturnBtnClick() {
  btnExe->hide();
  btnOptimize->show();
  if (ActivePage() == QLatin1String("2")) {
    SetPage(1);
    btnOptimize->setEnabled(true);
    btnOneClick->setEnabled(true);
    btnDefault->setEnabled(true);
  } else if (ActivePage() == QLatin1String("3")) {
    SetPage(2);
    btnOneClick->setEnabled(true);
  }
}

void TOptimizeForm::Run(const char* success) {
  if (IsBusy()) return;
  BusyGuard busy;
  tools::SpeedBackupFileName = tools::SpeedBackupName(Clock());
  tools::TellRun(success, tools::ApplyChoices(ServiceTicks(), TweakTicks()));
}

void TOptimizeForm::btnExeClick() {
  Run(tools::kRunMessage);
  btnDefault->setEnabled(true);
}

void TOptimizeForm::btnOneClickClick() {
  tools::ServiceTicks services = ServiceTicks();
  tools::TweakTicks tweaks = TweakTicks();
  tools::SetServiceBoxesForModel(SelectedModel(), services);
  tools::SetTweakBoxesForModel(SelectedModel(), tweaks);
  SetServiceTicks(services);
  SetTweakTicks(tweaks);
  Run(tools::kFastRunMessage);
}

void TOptimizeForm::btnDefaultClick() {
  const bool toList = ActivePage() != QLatin1String("4");
  btnDefault->setText(toList ? QStringLiteral("Return") : QStringLiteral("Reset"));
  for (QPushButton* button : {btnExe, btnOneClick, btnOptimize, ReturnBtn}) button->setEnabled(!toList);
  if (toList) {
    SetPage(4);
    FillBackupList();
  } else {
    // Page "1" shows Next, as after Back.
    btnExe->hide();
    btnOptimize->show();
    SetPage(1);
  }
}

void TOptimizeForm::FillBackupList() {
  ListView1->clear();
  for (const tools::SpeedBackupRow& row : tools::ListSpeedBackups()) {
    auto* item = new QTreeWidgetItem(ListView1);
    item->setText(0, QString::fromStdString(row.Name));
    item->setText(1, QString::fromStdString(row.FileName));
  }
}

namespace {

// The first selected row's path; empty without a selection.
std::string FirstSelected(const QTreeWidget* list) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->isSelected()) return list->topLevelItem(i)->text(1).toStdString();
  return {};
}

}  // namespace

void TOptimizeForm::BtnRestoreClick() {
  const std::string file = FirstSelected(ListView1);
  if (file.empty()) {
    tools::TellOptimizer(tools::kChooseItemMessage, 0);
    return;
  }
  if (!win::FileExists(file) || IsBusy()) return;
  BusyGuard busy;
  tools::TellRestore(file, tools::RestoreChoices(file));
}

void TOptimizeForm::btndeleteClick() {
  const std::string file = FirstSelected(ListView1);
  if (file.empty()) {
    tools::TellOptimizer(tools::kChooseItemMessage, 0);
    return;
  }
  if (!win::DeleteFile(file)) return;
  tools::TellOptimizer(tools::kDeletedMessage, 0);
  FillBackupList();
}

tools::ServiceTicks TOptimizeForm::ServiceTicks() const {
  tools::ServiceTicks ticks{};
  for (std::size_t i = 0; i < chk.size(); ++i) ticks[i] = chk[i]->isChecked();
  return ticks;
}

tools::TweakTicks TOptimizeForm::TweakTicks() const {
  tools::TweakTicks ticks{};
  for (std::size_t i = 0; i < Ochk.size(); ++i) ticks[i] = Ochk[i]->isChecked();
  return ticks;
}

void TOptimizeForm::SetServiceTicks(const tools::ServiceTicks& ticks) {
  for (std::size_t i = 0; i < chk.size(); ++i) chk[i]->setChecked(ticks[i]);
}

void TOptimizeForm::SetTweakTicks(const tools::TweakTicks& ticks) {
  for (std::size_t i = 0; i < Ochk.size(); ++i) Ochk[i]->setChecked(ticks[i]);
}

bool TOptimizeForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
    for (std::size_t i = 0; i < chk.size(); ++i)
      if (watched == chk[i]) MemoSer->setPlainText(QString::fromLatin1(tools::ServiceBoxes[i].description));
    for (std::size_t i = 0; i < Ochk.size(); ++i)
      if (watched == Ochk[i]) MemoReg->setPlainText(QString::fromUtf8(tools::TweakBoxes[i].description));
  }
  return QWidget::eventFilter(watched, event);
}

TOptimizeForm* CreateOptimizeForm(QWidget* parent) {
  auto* form = new TOptimizeForm(parent);
  form->hide();
  return form;
}
