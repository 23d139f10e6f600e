// The main window's placement: restored before the window is first shown, kept on the
// available screen area, saved when the window closes or goes.
//
// Positions are frame positions, as the stored normal rectangle is the outer one. A
// window that is not yet shown takes move() as the position of its frame, which the
// window manager honours when it maps the window; a window already mapped, but not
// yet framed, would take it as the position of its client area instead.
#include <QGuiApplication>
#include <QMoveEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "app/TMainFrm.h"
#include "platform/RegistryStore.h"
#include "settings/WindowPlacement.h"

namespace vb {
namespace {

// How long after the first show the window manager may still be putting its frame
// around the window; the window is kept on the screen until the frame is known.
constexpr int kFrameWaitMilliseconds = 3000;

// Moves a rectangle by the least distance that puts it wholly into `area` (its top
// left corner wins where it is larger than the area).
QPoint FitInto(const QRect& rect, const QRect& area) {
    QPoint topLeft = rect.topLeft();
    if (rect.right() > area.right()) topLeft.rx() -= rect.right() - area.right();
    if (rect.bottom() > area.bottom()) topLeft.ry() -= rect.bottom() - area.bottom();
    topLeft.rx() = std::max(topLeft.x(), area.left());
    topLeft.ry() = std::max(topLeft.y(), area.top());
    return topLeft;
}

QScreen* ScreenOf(const QRect& rect, QScreen* fallback) {
    if (QScreen* screen = QGuiApplication::screenAt(rect.center())) return screen;
    if (QScreen* screen = QGuiApplication::screenAt(rect.topLeft())) return screen;
    return fallback;
}

}  // namespace

void TMainFrm::setVisible(bool visible) {
    if (visible && !FPlacementRestored) {
        FPlacementRestored = true;
        RestoreWindowPlacement();
        FFitFramePending = true;
        QTimer::singleShot(kFrameWaitMilliseconds, this, [this] { FFitFramePending = false; });
    }
    QWidget::setVisible(visible);
}

// The stored position applies only on a screen of the same resolution, with a real
// rectangle whose corners both lie on a connected monitor. Whichever position holds
// (stored or designed), the window is then moved wholly onto the available area.
void TMainFrm::RestoreWindowPlacement() {
    QScreen* screen = this->screen();
    if (!screen) return;
    const QRect desktop = screen->virtualGeometry();
    const auto placement = LoadPlacement(FRegistry, desktop.width(), desktop.height());
    if (placement) {
        const bool samePpi = placement->pixelsPerInch == qRound(screen->logicalDotsPerInch());
        const QPoint topLeft(placement->left, placement->top);
        const QPoint bottomRight(placement->right - 1, placement->bottom - 1);
        if (samePpi && placement->right > placement->left && QGuiApplication::screenAt(topLeft) &&
            QGuiApplication::screenAt(bottomRight)) {
            move(topLeft);
        }
        if (placement->showCmd == kShowMinimized) setWindowState(windowState() | Qt::WindowMinimized);
    }
    // The frame is not known yet: the client area at least goes onto the screen; the
    // frame follows once the window manager has put it around the window.
    KeepOnScreen(QRect(pos(), size()));
}

void TMainFrm::KeepOnScreen(const QRect& outer) {
    const QScreen* screen = ScreenOf(outer, this->screen());
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // A window larger than the area first gives up what does not fit, as far as its
    // pages can shrink; what is left of the frame is then moved onto the area.
    QRect fitted = outer;
    const QSize excess(std::max(0, outer.width() - area.width()), std::max(0, outer.height() - area.height()));
    if (!excess.isNull()) {
        const QSize before = size();
        resize(before - excess);
        fitted.setSize(outer.size() + (size() - before));
    }
    const QPoint topLeft = FitInto(fitted, area);
    if (topLeft != outer.topLeft()) move(topLeft);
}

void TMainFrm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The first moves after the first show are the window manager's: once it has
    // framed the window, the whole frame must lie on the screen.
    if (FFitFramePending && isVisible() && !isMinimized() && frameGeometry() != geometry()) {
        FFitFramePending = false;
        KeepOnScreen(frameGeometry());
    }
}

void TMainFrm::SaveWindowPlacement() {
    const QScreen* screen = this->screen();
    if (!screen) return;
    WindowPlacement placement;
    const Qt::WindowStates state = windowState();
    placement.showCmd = state & Qt::WindowMinimized   ? kShowMinimized
                        : state & Qt::WindowMaximized ? kShowMaximized
                                                      : kShowNormal;
    placement.pixelsPerInch = qRound(screen->logicalDotsPerInch());
    // The normal rectangle with the frame around it, as it is restored.
    QRect normal = frameGeometry();
    if (state & (Qt::WindowMinimized | Qt::WindowMaximized)) {
        const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        normal = normalGeometry().marginsAdded(frame);
    }
    // A Windows rectangle: right and bottom lie just outside the window.
    placement.left = normal.left(), placement.top = normal.top();
    placement.right = normal.right() + 1, placement.bottom = normal.bottom() + 1;
    const QRect desktop = screen->virtualGeometry();
    try {
        SavePlacement(FRegistry, placement, desktop.width(), desktop.height());
        FPlacementSaved = true;
    } catch (const std::exception& e) {
        HandleError(e.what());
    }
}

}  // namespace vb
