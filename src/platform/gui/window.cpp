#include "platform/gui/window.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace Window {

void setOpacity(QWidget *window, int alpha)
{
    window->setWindowOpacity(std::clamp(alpha, 0, 255) / 255.0);
}

void setStayOnTop(QWidget *window, bool onTop)
{
    if (isStayOnTop(window) == onTop)
        return;
    // Changing a top-level window's flags hides it; show it again where it was.
    const bool wasVisible = window->isVisible();
    const bool wasMinimized = window->isMinimized();
    const QPoint position = window->pos();
    const QSize size = window->size();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    window->move(position);
    window->resize(size);
    if (wasVisible)
        wasMinimized ? window->showMinimized() : window->show();
}

bool isStayOnTop(const QWidget *window)
{
    return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void bringToFront(QWidget *window)
{
    if (window->isMinimized())
        return;
    window->raise();
    window->activateWindow();
}

void showWithoutActivating(QWidget *window)
{
    // Qt passes the attribute on to the window it makes at the first show, as a property the window system
    // reads at every show; both are taken back once this one is done.
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->show();
    window->setAttribute(Qt::WA_ShowWithoutActivating, false);
    if (QWindow *handle = window->windowHandle())
        handle->setProperty("_q_showWithoutActivating", QVariant());
}

QPoint boundedPosition(int left, int top)
{
    return {std::clamp(left, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), std::clamp(top, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)};
}

QSize boundedSize(int width, int height)
{
    return {std::clamp(width, 0, QWIDGETSIZE_MAX), std::clamp(height, 0, QWIDGETSIZE_MAX)};
}

void keepOnScreen(QWidget *window)
{
    // A note larger than its screen would put its title bar, and with it every way to move or close
    // it, out of reach.
    if (const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        const QSize fit = window->size().boundedTo(screen->availableGeometry().size());
        if (fit != window->size())
            window->resize(fit);
    }
    const QRect frame(window->pos(), window->frameGeometry().size().expandedTo(window->size()));
    const auto screens = QGuiApplication::screens();
    const bool visible = std::any_of(screens.begin(), screens.end(),
                                     [&](const QScreen *screen) { return screen->geometry().intersects(frame); });
    QScreen *primary = QGuiApplication::primaryScreen();
    if (visible || !primary)
        return;
    const QRect area = primary->availableGeometry();
    const int x = std::clamp(frame.x(), area.left(), std::max(area.left(), area.right() - frame.width()));
    const int y = std::clamp(frame.y(), area.top(), std::max(area.top(), area.bottom() - frame.height()));
    window->move(x, y);
}

void centreOnScreen(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window->adjustSize(); // a layout's size is known only once it ran
    const QRect area = screen->availableGeometry();
    window->move(area.x() + (area.width() - window->width()) / 2, area.y() + (area.height() - window->height()) / 2);
}

} // namespace Window
