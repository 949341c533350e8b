#pragma once
// Where the console's top-level windows appear: inside the screen they open on, and in
// front when a window command asks for them. Main thread only.
class QRect;
class QWidget;

namespace velmaro::ui {

// The window command's way of showing a window: a hidden window first fitted inside its
// screen (keepInsideScreen), a minimized one restored, then the window is raised above
// the others and activated, whether or not it was open already.
void bringWindowForward(QWidget& window);

// Fits a top-level window into `area` (a screen's available geometry): a window larger
// than the area shrinks to it; one never shown before is centred in the area, one shown
// before keeps its place unless part of it lies outside the area, which moves it in.
void keepInsideScreen(QWidget& window, const QRect& area);

// The main window's place at start-up: the top left corner of `area`, in its size but at
// least its minimum. When that does not fit in `area` with a usual frame, the window
// takes all of the area, maximized, and its minimum gives way to the area.
void openAtScreenOrigin(QWidget& window, const QRect& area);

} // namespace velmaro::ui
