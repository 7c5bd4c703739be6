#pragma once

class QWidget;

namespace zelk::ui {

// Lifts Qt's default limit of 32,767 characters from every one-line text field under `root`,
// the line edits of editable drop-down fields included, so that no typed, pasted or reloaded
// text is cut without a word. Fields with an input mask keep the mask's length.
void removeLengthLimits(QWidget* root);

} // namespace zelk::ui
