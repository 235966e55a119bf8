#pragma once
// TEvidenceCleanerForm: the "Evidence Cleaner" tool window. Four tabs over a
// notebook: the check tree of the fifty items with "Scan Now" and "Cancel",
// the result tree and the virtual result list with "Clean" and "Finish",
// and the Exclude and Advanced pages. The work is the engine's
// (privacy/EvidenceCleanerUnit.h).

#include <QWidget>
#include <functional>
#include <memory>

#include "privacy/EvidenceCleanerUnit.h"
#include "shell/DMUnit.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;
class TResultRowModel;
class TAdvancedShredForm;

class TEvidenceCleanerForm : public QWidget, public EvidenceCleanerView, public EvidenceAnimationView {
  Q_OBJECT
 public:
  explicit TEvidenceCleanerForm(QWidget* owner = nullptr);
  ~TEvidenceCleanerForm() override;

  TEvidenceCleaner Engine;

  QLabel* ScanBtn;
  QLabel* ResultBtn;
  QLabel* ExcludeBtn;
  QLabel* AdvancedBtn;
  QLabel* BtnBackImage;
  QStackedWidget* DataNotebook;
  QTreeWidget* tvItemsList;
  QProgressBar* ScanGauge;
  QPushButton* ScanNowBtn;
  QPushButton* AbortBtn;
  QTreeWidget* ResultTreeView;
  QTableView* ResultListView;
  QLabel* panResultItemName;
  QLabel* abResultCount;
  QLabel* abResultSpace;
  QLabel* panResultSpace;
  QLabel* abStepMsg;
  QLabel* abHintStr;
  QProgressBar* cdGauge;
  QPushButton* CleanBtn;
  QPushButton* FinishBtn;
  TAdvancedShredForm* AdvancedShred = nullptr;  // the Advanced page, made at its first visit
  QMenu* pmExclude;
  QAction* Exclude1;
  // The Exclude page.
  QTreeWidget* tvExclude;
  QTreeWidget* ExcludeListView;
  QPushButton* AddBtn;
  QPushButton* ModifyBtn;
  QPushButton* RemoveBtn;
  // Shows a dialog modally; true on OK (tests answer it themselves).
  std::function<bool(QDialog&)> RunModal;

  // The check tree's item for an absolute node index.
  QTreeWidgetItem* CheckItem(int node) const;
  QTreeWidgetItem* ResultItem(int resultNode) const;
  // A press on the state icon of a node or row.
  void PressCheckState(int node);
  void PressResultTreeState(int resultNode);
  void PressResultRowState(int row);
  // Where the tick box of a tree's node is drawn.
  QRect StateBoxRect(QTreeWidget* tree, QTreeWidgetItem* item) const;

  // EvidenceCleanerView
  void TreeRebuilt() override;
  void NodesChanged(const std::vector<int>& nodes) override;
  void ShowStepName(const std::string& name) override;
  void SetCleanGauge(int position) override;
  void ShowPage(int page) override;
  void SetScanRunning(bool running) override;
  void SetScanGauge(int position, int maximum) override;
  void SetBusyAnimation(bool running) override;
  void SetBusyNode(int node) override;
  void ResultTreeRebuilt() override;
  void ResultTreeChanged() override;
  void ResultRowsChanged() override;
  void SetResultCaption(const std::string& text) override;
  void SetResultFigures(const std::string& count, const std::string& size,
                        const std::string& unit) override;
  void SetHint(const std::string& text, bool beside) override;
  void SetCleanGaugeVisible(bool visible) override;
  void SetCleanVisible(bool clean) override;
  void ExcludeTreeRebuilt() override;
  void ExcludeCountsChanged() override;
  void ExcludeRowsChanged() override;
  bool AskExcludeText(const std::string& caption, int item, std::string& text) override;
  // EvidenceAnimationView
  void SetNodeImage(int node, int image) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* NewScanPage();
  QWidget* NewResultPage();
  QWidget* NewExcludePage();
  int SelectedExcludeRow() const;
  // The node's icon with the given state image, its font by level.
  void PaintNode(QTreeWidgetItem* item, const TEvidenceNode& node, int state) const;
  enum class TreePart { Nothing, Indent, Arrow, StateBox, Node };
  TreePart PartAt(QTreeWidget* tree, QTreeWidgetItem* item, QPoint at) const;
  bool shown_ = false;
  bool filling_ = false;
  TResultRowModel* rowModel_;
};

// The tool window, created hidden with parent as owner and parent.
TEvidenceCleanerForm* CreateEvidenceCleanerForm(QWidget* parent);
