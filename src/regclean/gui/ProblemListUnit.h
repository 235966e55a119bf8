#pragma once
// TProblemsListBox: the owner-drawn problem list of the results page. Each
// row is 70 pixels high and shows a tick picture, a bold headline and up to
// three lines of description; rows carry no text of their own, only their
// state image (1 ticked, 0 not).

#include <QListWidget>
#include <functional>
#include <string>
#include <vector>

class TImageList;

constexpr int kProblemRowHeight = 70;

class TProblemsListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TProblemsListBox(QWidget* owner = nullptr);

  // The text of row i: headline, a carriage return, description.
  std::function<std::string(int row)> ProblemText;
  // A left press on the tick box of a row.
  std::function<void(int row)> OnTickBoxClick;
  // The tick pictures (frame = state image); null draws no tick.
  const TImageList* StateImages = nullptr;

  // Empties the list and adds one row per state image.
  void Fill(const std::vector<int>& stateImages);
  int StateImage(int row) const;
  void SetStateImage(int row, int image);
  // The selected row; -1 when none.
  int SelectedRow() const;

  // Draws row `row` into its rectangle (the row's own bounds).
  void DrawItem(QPainter& painter, int row, const QRect& bounds, bool selected) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

// Frame colour of a row that is not selected.
extern const QColor kProblemFrameColour;
