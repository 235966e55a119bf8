#pragma once
// Grid lines of report lists: a line under every row and between columns,
// as a list view draws them with its grid-lines style.

#include <QColor>

class QAbstractItemView;

// The colour of the lines.
QColor GridLineColour();

// Gives the list grid lines through an item delegate that draws them (it
// replaces the plain delegate; a table's own grid is turned off).
void ShowGridLines(QAbstractItemView* list);
// True when the list draws them.
bool HasGridLines(const QAbstractItemView* list);
