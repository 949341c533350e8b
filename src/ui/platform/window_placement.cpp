#include "ui/platform/window_placement.h"

#include <QApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace velmaro::ui {

namespace {

// Set on a window once it has been placed: from then on its place is the official's.
constexpr char kPlacedProperty[] = "velmaroPlaced";
// The frame of a window never shown is not known yet: room for a usual one.
constexpr QSize kUsualFrame(16, 40);

// The screen of the window the command came from (the main window's), else the window's own.
QScreen* screenFor(const QWidget& window) {
    if (const QWidget* active = QApplication::activeWindow(); active && active != &window)
        if (QScreen* screen = active->screen()) return screen;
    if (QScreen* screen = window.screen()) return screen;
    return QGuiApplication::primaryScreen();
}

} // namespace

void keepInsideScreen(QWidget& window, const QRect& area) {
    const bool shown = window.property(kPlacedProperty).toBool();
    const QRect frame = window.frameGeometry();
    const QSize decoration = shown ? frame.size() - window.size() : kUsualFrame;
    const QSize room = (area.size() - decoration).expandedTo(QSize(1, 1));
    if (window.width() > room.width() || window.height() > room.height())
        window.resize(window.size().boundedTo(room).expandedTo(window.minimumSize().boundedTo(room)));
    const QSize outer = window.size() + decoration;
    QPoint topLeft = shown ? frame.topLeft() : area.center() - QPoint(outer.width() / 2, outer.height() / 2);
    topLeft.setX(std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())));
    topLeft.setY(std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
    // move() places the frame's top left corner.
    if (!shown || topLeft != frame.topLeft()) window.move(topLeft);
    window.setProperty(kPlacedProperty, true);
}

void openAtScreenOrigin(QWidget& window, const QRect& area) {
    const QSize wanted = window.size().expandedTo(window.minimumSize()).expandedTo(window.minimumSizeHint());
    const QSize room = area.size() - kUsualFrame;
    const bool fits = wanted.width() <= room.width() && wanted.height() <= room.height();
    if (!fits) window.setMinimumSize(window.minimumSize().boundedTo(room));
    window.resize(fits ? wanted : room);
    window.move(area.topLeft());
    // Last: the state makes the window's platform side, which takes the place set above.
    if (!fits) window.setWindowState(window.windowState() | Qt::WindowMaximized);
    window.setProperty(kPlacedProperty, true);
}

void bringWindowForward(QWidget& window) {
    if (!window.isVisible()) {
        if (QScreen* screen = screenFor(window)) keepInsideScreen(window, screen->availableGeometry());
        window.show();
    }
    if (window.isMinimized()) window.showNormal();
    window.raise();
    window.activateWindow();
}

} // namespace velmaro::ui
