#pragma once
// Small helpers the windows share.

class QWidget;

// Moves a window so that it is centred on the screen it is on (the primary
// screen before it is shown).
void CenterOnScreen(QWidget* window);
// Shows a window and paints it at once, before the caller's long work starts.
void ShowAndPaint(QWidget* window);
