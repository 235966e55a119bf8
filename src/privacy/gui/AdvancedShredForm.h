#pragma once
// TAdvancedShredForm: the file shredder on the Evidence Cleaner's "Advanced"
// page. A thin window over the engine (privacy/AdvancedShredUnit.h).

#include <QWidget>

#include "privacy/AdvancedShredUnit.h"

class QAction;
class QButtonGroup;
class QGroupBox;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;

class TAdvancedShredForm : public QWidget, public AdvancedShredView {
  Q_OBJECT
 public:
  explicit TAdvancedShredForm(QWidget* owner = nullptr);
  ~TAdvancedShredForm() override;

  TAdvancedShred Shred;

  QPlainTextEdit* Memo;
  QListWidget* listAdd;
  QPushButton* btnAdd;
  QPushButton* BitBtn2;  // "Remove.."
  QPushButton* BitBtn1;  // "Add Folder"
  QGroupBox* RG;
  QButtonGroup* RGButtons;
  QPushButton* btnShred;
  QMenu* PopupMenu1;
  QAction* AddFiles1;
  QAction* AddAllRecycleFile1;
  QMenu* PopupMenu2;
  QAction* RemoveSelectedFilesfromthelist1;
  QAction* RemoveAllFilesfromthelist1;

  // AdvancedShredView
  void ShredListChanged() override;
};
