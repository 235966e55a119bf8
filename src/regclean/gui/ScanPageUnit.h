#pragma once
// TRegistryScanPage: the registry cleaner on the main window's Scan page.
// It owns the scan session and fills the frame's three notebook pages: the
// seventeen sections with the progress panel, the results (grid of sections,
// problem list, details) and the repair log. Its handlers forward to the
// scan, results and repair engine; the data module's timers draw through it.

#include <QObject>
#include <QPointer>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "regclean/ScanSessionUnit.h"
#include "regclean/SectionTableUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/ScanPageFactory.h"

class QCheckBox;
class QFrame;
class QLabel;
class QProgressBar;
class QTextEdit;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TImageEx;
class TProblemsListBox;
class TRepairDialogForm;
class TRepairLogModel;

class TRegistryScanPage : public QObject,
                          public TScanPage,
                          public regclean::ScanPageView,
                          public ItemsProgressView {
  Q_OBJECT
 public:
  explicit TRegistryScanPage(TFernwickForm& form);
  ~TRegistryScanPage() override;

  regclean::ScanSession Session;

  // Page 0 "ScanSections".
  std::array<TImageEx*, regclean::kSectionCount> SectionImages{};  // picSection01..17
  std::array<QLabel*, regclean::kSectionCount> SectionLabels{};    // abSection01..17
  std::array<QLabel*, regclean::kSectionCount> CountLabels{};      // abItemCount01..17
  QFrame* ShowPanel;
  QLabel* ScanOutcomePanel;
  QLabel* abScanTime;
  QProgressBar* pbItemsProcessed;
  QLabel* abItemsProcessed;
  QLabel* panTotalProcess;
  QProgressBar* pbTotalProcess;
  // Under the notebook, on the Scan panel.
  QCheckBox* cbSelectAll;
  QLabel* abSelectAll;
  QLabel* LabelWarning;

  // Page 1 "Repair".
  QTreeWidget* RepairGrid;
  QLabel* LabelWarningEx;
  QLabel* abExcludeMsg;
  QLabel* abShowHideDetails;
  QWidget* ProblemsPanel;
  TProblemsListBox* ProblemsListBox;
  QFrame* panDetails;
  QLabel* Label1;
  QLabel* abLevel;
  TImageEx* LevleImage;
  QLabel* abDescription;
  QTextEdit* DetailsMemo;

  // Page 2 "Finish".
  TRepairLogModel* RepairLogModel;
  QTreeView* FinishListView;

  // The repair progress dialog while a repair runs.
  TRepairDialogForm* RepairDialogForm() const { return repairDialog_.get(); }

  // ---- the frame's seam -------------------------------------------------
  void ScanNowBtnClick() override;
  void AbortScanBtnClick() override;
  void RepairBtnClick() override;
  void FinishBtnClick() override;
  void RunAutomaticScan() override;
  void SetScanStep(int step) override;
  void ClearResultSelection() override;
  void FormResize() override;
  void ExcludeSelectedProblem() override;
  void SetSelectAll(bool ticked) override;

  // ---- handlers ----------------------------------------------------------
  // The check box (sender null) or its label (sender abSelectAll).
  void cbSelectAllClick(QObject* sender);
  void picSectionClick(int section);
  void RepairGridSelectItem();
  void FillProblemList(int section);
  void ProblemsListBoxSelectItem();
  void ProblemsListBoxTickClick(int row);
  void abShowHideDetailsClick();
  // The grid row's section number (0 "All Problems"); -1 without a selection.
  int SelectedSection() const;

  // ---- ScanAnimationView (the data module's timers) ------------------------
  void DrawSectionFrame(int section, int frame) override;
  int TotalProblemCount() const override;
  void SetProblemWarning(const std::string& text, bool visible) override;
  void SetScanTimeText(const std::string& text) override;

  // ---- regclean::ScanPageView ---------------------------------------------
  void ShowScanStep(int step) override;
  void ShowProgressPanel(bool visible) override;
  void SetOutcomeText(const std::string& text) override;
  void SetTotalProcess(const std::string& text, int percent) override;
  void SetSectionCountText(int section, const std::string& text) override;
  void SetSectionFrame(int section, int frame) override;
  void SetElapsedText(const std::string& text) override;
  void StartScanAnimation() override;
  void StopScanAnimation() override;
  void StartElapsedTimer() override;
  void StopElapsedTimer() override;
  void ResultsChanged() override;
  void RepairLogChanged() override;
  void ShowRepairDialog() override;
  void HideRepairDialog() override;
  void SetRepairStatus(const std::string& text) override;

  // ---- ItemsProgressView ----------------------------------------------------
  int ItemsGaugePosition() const override;
  void SetItemsGaugePosition(int position) override;
  void SetItemsProcessedText(const std::string& text) override;

 protected:
  // Clicks on the labels abSelectAll and abShowHideDetails.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildSectionsPage();
  void BuildResultsPage();
  void BuildFinishPage();
  void BuildBottomBar();
  void UpdateGridCounts();
  void ClearDetails();
  void LayoutProblemsPanel();
  // The data module's CurrentSection follows the scan loop.
  void FollowCurrentSection();

  std::unique_ptr<TRepairDialogForm> repairDialog_;
  int shownStep_ = 0;
  // While the scan animation runs, what changes with every entry or problem
  // (the entry examined last, the section counts, the items gauge and its
  // text) is held and shown at the animation's next tick, with the problem
  // total, at the end of each section and when the animation stops: drawing
  // every change costs far more than examining an entry.
  bool HoldsRunningDisplay() const;
  void ShowHeldDisplay();
  struct HeldDisplay {
    std::optional<std::string> outcome;
    std::array<std::optional<std::string>, regclean::kSectionCount> counts;
    std::optional<int> gauge;
    std::optional<std::string> itemsText;
  };
  HeldDisplay held_;
  // Top-level widgets this page put into the frame's pages.
  std::vector<QPointer<QWidget>> ownWidgets_;
};
