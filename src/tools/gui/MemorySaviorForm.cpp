#include "tools/gui/MemorySaviorForm.h"

#include <QGraphicsLayout>
#include <QLegend>
#include <QShowEvent>

#include "shell/BusyGuard.h"
#include "shell/gui/DM.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/ImageExUnit.h"
#include "tools/CPUUsageUnit.h"

namespace {

constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 29;

void DrawButton(TImageEx* image, int frame) {
  if (DM && image) DM->DrawImageButton(frame, "Optimize", image);
}

QProgressBar* NewGauge(QWidget* parent, const char* name, Qt::Orientation orientation) {
  auto* gauge = new QProgressBar(parent);
  gauge->setObjectName(QString::fromLatin1(name));
  gauge->setOrientation(orientation);
  gauge->setTextVisible(false);
  gauge->setRange(0, 100);
  gauge->setValue(0);
  return gauge;
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, QRect where) {
  auto* label = new QLabel(text, parent);
  if (name != nullptr) label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(where);
  return label;
}

// "Total:", "Usage:", "Free:" and their figures, one per row of a group.
void FillGroup(QGroupBox* group, QLabel*& total, QLabel*& usage, QLabel*& free, const char* names[3]) {
  QLabel** figures[] = {&total, &usage, &free};
  const char* captions[] = {"Total:", "Usage:", "Free:"};
  for (int i = 0; i < 3; ++i) {
    const int y = 20 + i * 18;
    NewLabel(group, nullptr, QString::fromLatin1(captions[i]), QRect(16, y, 60, 18));
    *figures[i] = NewLabel(group, names[i], QStringLiteral("0 MB"), QRect(80, y, 120, 18));
  }
}

}  // namespace

TMemorySaviorForm::TMemorySaviorForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("MemorySaviorForm"));
  SetWhiteBackground(this);
  resize(590, 440);

  Label6 = NewLabel(this, "Label6", QStringLiteral("CPU Usage"), QRect(8, 8, 70, 18));
  Gauge_CPU = NewGauge(this, "Gauge_CPU", Qt::Vertical);
  Gauge_CPU->setGeometry(22, 30, 28, 116);
  Chart_CPUs = NewChart("Chart_CPUs", "CPU Usage History", cpuX_, cpuY_);
  Chart_CPUs->setGeometry(96, 2, 486, 150);
  CPUSeries = new QLineSeries;
  CPUSeries->setObjectName(QStringLiteral("CPUSeries"));
  Chart_CPUs->chart()->addSeries(CPUSeries);
  CPUSeries->attachAxis(cpuX_);
  CPUSeries->attachAxis(cpuY_);
  Chart_CPUs->chart()->legend()->hide();
  Label_CPUusage = NewLabel(this, "Label_CPUusage", QStringLiteral("0%"), QRect(22, 148, 40, 16));
  Label_CPUusage->hide();

  PhysicalGroup = new QGroupBox(QStringLiteral("Physical Memory"), this);
  PhysicalGroup->setGeometry(8, 154, 284, 78);
  const char* physical[] = {"Label_pmTotal", "Label_pmUsage", "Label_pmFree"};
  FillGroup(PhysicalGroup, Label_pmTotal, Label_pmUsage, Label_pmFree, physical);
  VirtualGroup = new QGroupBox(QStringLiteral("Virtual Memory"), this);
  VirtualGroup->setGeometry(298, 154, 284, 78);
  const char* virtual_[] = {"Label_vmTotal", "Label_vmUsage", "Label_vmFree"};
  FillGroup(VirtualGroup, Label_vmTotal, Label_vmUsage, Label_vmFree, virtual_);

  Label3 = NewLabel(this, "Label3", QStringLiteral("Memory Usage"), QRect(8, 240, 88, 18));
  Gauge_Mem = NewGauge(this, "Gauge_Mem", Qt::Vertical);
  Gauge_Mem->setGeometry(22, 262, 28, 128);
  Chart_PhyMem = NewChart("Chart_PhyMem", "Memory Usage History", memX_, memY_);
  Chart_PhyMem->setGeometry(96, 236, 486, 162);
  PM = new QLineSeries;
  PM->setObjectName(QStringLiteral("PM"));
  PM->setName(QStringLiteral("Physical Memory"));
  VM = new QLineSeries;
  VM->setObjectName(QStringLiteral("VM"));
  VM->setName(QStringLiteral("Virtual Memory"));
  for (QLineSeries* series : {PM, VM}) {
    Chart_PhyMem->chart()->addSeries(series);
    series->attachAxis(memX_);
    series->attachAxis(memY_);
  }
  Chart_PhyMem->chart()->legend()->setAlignment(Qt::AlignRight);
  QFont legendFont = Chart_PhyMem->chart()->legend()->font();
  legendFont.setPointSize(7);
  Chart_PhyMem->chart()->legend()->setFont(legendFont);
  Label_PMu = NewLabel(this, "Label_PMu", QStringLiteral("0 MB"), QRect(8, 390, 60, 16));
  Label_VMu = NewLabel(this, "Label_VMu", QStringLiteral("0 MB"), QRect(8, 406, 60, 16));
  Label_PMu->hide();
  Label_VMu->hide();

  TweakGauge = NewGauge(this, "TweakGauge", Qt::Horizontal);
  TweakGauge->setGeometry(8, height() - 8 - 20, 440, 20);
  TweakGauge->hide();

  OptimizeBtn = new TImageEx(this);
  OptimizeBtn->setObjectName(QStringLiteral("OptimizeBtn"));
  OptimizeBtn->setGeometry(width() - 8 - kButtonWidth, height() - 6 - kButtonHeight, kButtonWidth, kButtonHeight);
  QFont font = OptimizeBtn->CanvasFont();
  font.setBold(true);
  OptimizeBtn->CanvasFont() = font;
  OptimizeBtn->setCursor(Qt::PointingHandCursor);
  OptimizeBtn->OnMouseEnter = [this](QObject*) { DrawButton(OptimizeBtn, 1); };
  OptimizeBtn->OnMouseLeave = [this](QObject*) { DrawButton(OptimizeBtn, 0); };
  OptimizeBtn->OnClick = [this](QObject*) { OptimizeBtnClick(); };
  DrawButton(OptimizeBtn, 0);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Timer1->start();
}

TMemorySaviorForm::~TMemorySaviorForm() = default;

QChartView* TMemorySaviorForm::NewChart(const char* name, const char* title, QValueAxis*& xAxis,
                                        QValueAxis*& yAxis) {
  auto* chart = new QChart;
  chart->setTitle(QString::fromLatin1(title));
  QFont titleFont = chart->titleFont();
  titleFont.setPointSize(8);
  chart->setTitleFont(titleFont);
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->layout()->setContentsMargins(0, 0, 0, 0);
  xAxis = new QValueAxis;
  xAxis->setLabelsVisible(false);
  xAxis->setTickCount(11);
  yAxis = new QValueAxis;
  yAxis->setLabelFormat(QStringLiteral("%d"));
  QFont labels = yAxis->labelsFont();
  labels.setPointSize(7);
  yAxis->setLabelsFont(labels);
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  auto* view = new QChartView(chart, this);
  view->setObjectName(QString::fromLatin1(name));
  view->setRenderHint(QPainter::Antialiasing);
  return view;
}

void TMemorySaviorForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous() && !shown_) {
    shown_ = true;
    FormShow();
  }
}

void TMemorySaviorForm::Show(QLineSeries* series, const tools::HistorySeries& history, QValueAxis* xAxis) {
  QList<QPointF> points;
  for (const tools::ChartPoint& point : history.Points()) points.append(QPointF(point.x, point.y));
  series->replace(points);
  xAxis->setRange(history.Points().front().x, history.Points().back().x);
}

void TMemorySaviorForm::FormShow() {
  win::MEMORYSTATUSEX status;
  const std::int64_t totalMB = win::GlobalMemoryStatusEx(status) ? static_cast<std::int64_t>(status.ullTotalPhys >> 20) : 0;
  memY_->setRange(0, static_cast<double>(std::max<std::int64_t>(totalMB, 1)));
  cpuY_->setRange(0, 100);
  Show(CPUSeries, cpuHistory_, cpuX_);
  Show(PM, pmHistory_, memX_);
  Show(VM, vmHistory_, memX_);
}

void TMemorySaviorForm::Timer1Timer() {
  // GetCPUUsage lets messages through: a tick meanwhile, or a page switch,
  // must not run inside this one.
  if (IsBusy()) return;
  BusyGuard busy;
  RefreshMemoryDisplay();
}

void TMemorySaviorForm::RefreshMemoryDisplay() {
  win::MEMORYSTATUSEX status;
  if (win::GlobalMemoryStatusEx(status)) {
    const tools::MemoryDisplay display = tools::MemoryDisplayOf(status);
    memY_->setRange(0, static_cast<double>(std::max<std::int64_t>(display.totalPhysMB, 1)));
    pmHistory_.Scroll(static_cast<double>(display.usedPhysMB));
    vmHistory_.Scroll(static_cast<double>(display.usedPageMB));
    Show(PM, pmHistory_, memX_);
    Show(VM, vmHistory_, memX_);
    Label_PMu->setText(QString::fromStdString(display.pmu));
    Label_VMu->setText(QString::fromStdString(display.vmu));
    Gauge_Mem->setRange(0, static_cast<int>(std::min<std::int64_t>(display.totalPhysMB, INT32_MAX)));
    Gauge_Mem->setValue(static_cast<int>(std::min<std::int64_t>(display.usedPhysMB, INT32_MAX)));
    Label_vmTotal->setText(QString::fromStdString(display.vmTotal));
    Label_vmFree->setText(QString::fromStdString(display.vmFree));
    Label_vmUsage->setText(QString::fromStdString(display.vmUsage));
    Label_pmTotal->setText(QString::fromStdString(display.pmTotal));
    Label_pmFree->setText(QString::fromStdString(display.pmFree));
    Label_pmUsage->setText(QString::fromStdString(display.pmUsage));
  }
  const double load = tools::GetProcessorLoad();
  cpuY_->setRange(0, 100);
  cpuHistory_.Scroll(load);
  Show(CPUSeries, cpuHistory_, cpuX_);
  Label_CPUusage->setText(QString::fromStdString(tools::LoadText(load)));
  Gauge_CPU->setValue(static_cast<int>(load));
}

void TMemorySaviorForm::OptimizeBtnClick() {
  if (IsBusy()) return;
  BusyGuard busy;
  tools::OptimizeMemory(*Calls, *this);
}

void TMemorySaviorForm::ShowTrimGauge(int count) {
  TweakGauge->setRange(0, std::max(count, 1));
  TweakGauge->setValue(0);
  TweakGauge->show();
  TweakGauge->repaint();
}

void TMemorySaviorForm::StepTrimGauge() {
  TweakGauge->setValue(TweakGauge->value() + 1);
  TweakGauge->repaint();
}

void TMemorySaviorForm::HideTrimGauge() {
  TweakGauge->setValue(0);
  TweakGauge->hide();
}

TMemorySaviorForm* CreateMemorySaviorForm(QWidget* parent) {
  auto* form = new TMemorySaviorForm(parent);
  form->hide();
  return form;
}
