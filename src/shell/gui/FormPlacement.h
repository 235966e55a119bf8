#pragma once
// Small helpers the windows share.

class QLabel;
class QWidget;

// Moves a window so that it is centred on the screen it is on (the primary
// screen before it is shown).
void CenterOnScreen(QWidget* window);
// Shows a window and paints it at once, before the caller's long work starts.
void ShowAndPaint(QWidget* window);
// Gives a window or panel a white background.
void SetWhiteBackground(QWidget* widget);
// A label under the mouse: blue and underlined (and bold when asked);
// otherwise black and plain.
void SetHotLabelLook(QLabel* label, bool hot, bool bold);
