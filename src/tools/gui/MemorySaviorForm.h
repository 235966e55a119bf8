#pragma once
// TMemorySaviorForm: the "Memory Optimize" tool. Processor load and memory
// figures refreshed every second with two history charts; Optimize empties
// the working sets. The work is the engine's (tools/MemorySaviorUnit.h).

#include <QChart>
#include <QChartView>
#include <QGroupBox>
#include <QLabel>
#include <QLineSeries>
#include <QProgressBar>
#include <QTimer>
#include <QValueAxis>
#include <QWidget>

#include "tools/MemorySaviorUnit.h"

class TImageEx;

class TMemorySaviorForm : public QWidget, public tools::TrimGaugeView {
  Q_OBJECT
 public:
  explicit TMemorySaviorForm(QWidget* owner = nullptr);
  ~TMemorySaviorForm() override;

  QLabel* Label6;
  QProgressBar* Gauge_CPU;
  QChartView* Chart_CPUs;
  QLineSeries* CPUSeries;
  QLabel* Label_CPUusage;
  QGroupBox* PhysicalGroup;
  QLabel* Label_pmTotal;
  QLabel* Label_pmUsage;
  QLabel* Label_pmFree;
  QGroupBox* VirtualGroup;
  QLabel* Label_vmTotal;
  QLabel* Label_vmUsage;
  QLabel* Label_vmFree;
  QLabel* Label3;
  QProgressBar* Gauge_Mem;
  QChartView* Chart_PhyMem;
  QLineSeries* PM;
  QLineSeries* VM;
  QLabel* Label_PMu;
  QLabel* Label_VMu;
  QProgressBar* TweakGauge;
  TImageEx* OptimizeBtn;
  QTimer* Timer1;

  // The process calls Optimize uses (tests put a fake in).
  tools::ProcessCalls* Calls = &tools::HostProcessCalls();

  void FormShow();
  void Timer1Timer();
  void RefreshMemoryDisplay();
  void OptimizeBtnClick();
  const tools::HistorySeries& CpuHistory() const { return cpuHistory_; }
  const tools::HistorySeries& PmHistory() const { return pmHistory_; }
  const tools::HistorySeries& VmHistory() const { return vmHistory_; }

  // TrimGaugeView
  void ShowTrimGauge(int count) override;
  void StepTrimGauge() override;
  void HideTrimGauge() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QChartView* NewChart(const char* name, const char* title, QValueAxis*& xAxis, QValueAxis*& yAxis);
  static void Show(QLineSeries* series, const tools::HistorySeries& history, QValueAxis* xAxis);

  QValueAxis* cpuX_ = nullptr;
  QValueAxis* cpuY_ = nullptr;
  QValueAxis* memX_ = nullptr;
  QValueAxis* memY_ = nullptr;
  tools::HistorySeries cpuHistory_;
  tools::HistorySeries pmHistory_;
  tools::HistorySeries vmHistory_;
  bool shown_ = false;
};

TMemorySaviorForm* CreateMemorySaviorForm(QWidget* parent);
