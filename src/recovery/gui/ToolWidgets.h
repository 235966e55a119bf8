#pragma once
// Controls the browser tool windows share: picture buttons drawn by the data
// module, report lists with check boxes, a label that reacts to clicks.

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <functional>

class TImageEx;

// A 110 by 29 picture button with a caption; click runs on a left click.
TImageEx* NewToolButton(QWidget* parent, const char* name, const QString& caption, std::function<void()> click);
void SetToolButtonCaption(TImageEx* button, const QString& caption);

// A read-only report list with whole-row selection; its first column
// carries check boxes when checkable.
QTreeWidget* NewReportList(QWidget* parent, const char* name, const QStringList& headers);

// A plain-text label; click (when given) runs on a left click.
QLabel* NewToolLabel(QWidget* parent, const char* name, const QString& text, std::function<void()> click = {});

// A read-only, frameless text at the top of a tool window, without scroll bar or focus.
QPlainTextEdit* NewIntroMemo(QWidget* parent, const char* name, const QString& text);
// A plain push button that Enter in another control does not press.
QPushButton* NewPushButton(QWidget* parent, const char* name, const QString& caption, std::function<void()> click);

// Ticks or unticks every row of a list.
void TickAllRows(QTreeWidget* list, bool ticked);
bool IsRowTicked(const QTreeWidget* list, int row);

// A Windows colour value (0x00BBGGRR).
QColor WindowsColour(int bgr);
