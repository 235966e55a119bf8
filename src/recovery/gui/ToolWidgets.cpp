#include "recovery/gui/ToolWidgets.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>

#include "shell/gui/DM.h"
#include "shell/gui/ImageExUnit.h"

namespace {

constexpr int kButtonHeight = 29;

constexpr int kButtonWidth = 110;  // the width of the button pictures

// Bold captions, unless a caption is too long for the picture in bold.
void DrawButton(TImageEx* button, int frame) {
  if (!DM || !button) return;
  const QString caption = button->property("caption").toString();
  QFont font = button->CanvasFont();
  font.setFamily(QStringLiteral("Arial"));
  font.setBold(true);
  font.setBold(QFontMetrics(font).horizontalAdvance(caption) <= kButtonWidth - 8);
  button->CanvasFont() = font;
  DM->DrawImageButton(frame, caption.toStdString(), button);
}

// Runs an action when the watched widget is clicked with the left button.
class ClickFilter : public QObject {
 public:
  ClickFilter(QObject* owner, std::function<void()> click) : QObject(owner), click_(std::move(click)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      click_();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> click_;
};

}  // namespace

TImageEx* NewToolButton(QWidget* parent, const char* name, const QString& caption, std::function<void()> click) {
  auto* button = new TImageEx(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setProperty("caption", caption);
  button->resize(kButtonWidth, kButtonHeight);
  button->setCursor(Qt::PointingHandCursor);
  button->OnMouseEnter = [button](QObject*) { DrawButton(button, 1); };
  button->OnMouseLeave = [button](QObject*) { DrawButton(button, 0); };
  button->OnClick = [click = std::move(click)](QObject*) { click(); };
  DrawButton(button, 0);
  return button;
}

void SetToolButtonCaption(TImageEx* button, const QString& caption) {
  button->setProperty("caption", caption);
  DrawButton(button, 0);
}

QTreeWidget* NewReportList(QWidget* parent, const char* name, const QStringList& headers) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setColumnCount(static_cast<int>(headers.size()));
  list->setHeaderLabels(headers);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
  return list;
}

QLabel* NewToolLabel(QWidget* parent, const char* name, const QString& text, std::function<void()> click) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  if (click) {
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(new ClickFilter(label, std::move(click)));
  }
  return label;
}

QPlainTextEdit* NewIntroMemo(QWidget* parent, const char* name, const QString& text) {
  auto* memo = new QPlainTextEdit(text, parent);
  memo->setObjectName(QString::fromLatin1(name));
  memo->setReadOnly(true);
  memo->setFrameShape(QFrame::NoFrame);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setFocusPolicy(Qt::NoFocus);
  return memo;
}

QPushButton* NewPushButton(QWidget* parent, const char* name, const QString& caption, std::function<void()> click) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, button, [click = std::move(click)] { click(); });
  return button;
}

void TickAllRows(QTreeWidget* list, bool ticked) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    list->topLevelItem(i)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

bool IsRowTicked(const QTreeWidget* list, int row) {
  const QTreeWidgetItem* item = list->topLevelItem(row);
  return item && item->checkState(0) == Qt::Checked;
}

QColor WindowsColour(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }
