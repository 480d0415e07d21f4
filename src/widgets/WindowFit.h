#pragma once

#include <QRect>

class QLabel;
class QString;
class QWidget;

// Windows keep their designed geometry, but a box whose text does not fit at the
// current font, style sheet and scale grows: rightward first (pushing the controls
// that follow it on its line), then, for a label, downward with its text wrapped.
// Nothing grows past its container.
namespace WindowFit {

// The rectangle the widget's text needs, in widget coordinates, placed as the
// widget places it; empty for a widget without text.
QRect textRect(const QWidget* w);

// Grows every box of the window whose text does not fit.
void growToFit(QWidget* window);

// Fits the window now and again whenever it is shown or restyled.
void keepFitted(QWidget* window);

// Shows the icon file at the label's size, drawn for the screen's pixel density. Every
// label of that size shares one pixmap: windows open again and again (a pop-up per notice).
void showIcon(QLabel* label, const QString& resource);

} // namespace WindowFit
