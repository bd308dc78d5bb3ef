#include "widgets/st_tray_icon.h"

#include "widgets/e_tray_icon_error.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QPainter>
#include <QPixmap>
#include <QStyleHints>
#include <QTimer>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include <exception>

namespace {

int s_liveInstances = 0;

// While no notification area exists we look for one this often; Qt has no signal for it.
constexpr int kTrayPollMs = 2000;

QEvent::Type minimizeCommandEvent()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QPixmap drawNote(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    const qreal fold = 4 * unit;
    const QRectF sheet(unit, unit, 14 * unit, 14 * unit);

    // The sheet with its lower right corner turned up, in the pale yellow of a new note.
    QPolygonF outline;
    outline << sheet.topLeft() << sheet.topRight() << QPointF(sheet.right(), sheet.bottom() - fold)
            << QPointF(sheet.right() - fold, sheet.bottom()) << sheet.bottomLeft();
    painter.setPen(QPen(QColor(0x9A, 0x86, 0x20), unit * 0.75));
    painter.setBrush(QColor(0xFF, 0xF1, 0x76));
    painter.drawPolygon(outline);
    QPolygonF corner;
    corner << QPointF(sheet.right(), sheet.bottom() - fold) << QPointF(sheet.right() - fold, sheet.bottom() - fold)
           << QPointF(sheet.right() - fold, sheet.bottom());
    painter.setBrush(QColor(0xE0, 0xC8, 0x40));
    painter.drawPolygon(corner);

    painter.setPen(QPen(QColor(0x80, 0x70, 0x30), unit));
    for (int line = 0; line < 3; ++line) {
        const qreal y = sheet.top() + (3.5 + 3 * line) * unit;
        const qreal right = line == 2 ? sheet.right() - fold - unit : sheet.right() - 2.5 * unit;
        painter.drawLine(QPointF(sheet.left() + 2.5 * unit, y), QPointF(right, y));
    }
    return pixmap;
}

} // namespace

TStTrayIcon::InstanceSlot::InstanceSlot()
{
    if (s_liveInstances > 0)
        throw ETrayIconError(ETrayIconError::SecondInstance);
    ++s_liveInstances;
}

TStTrayIcon::InstanceSlot::~InstanceSlot()
{
    --s_liveInstances;
}

TStTrayIcon::TStTrayIcon(QWidget *owner)
    : QObject(owner)
    , m_owner(owner)
    , m_tray(new QSystemTrayIcon(this))
    , m_builtInMenu(std::make_unique<QMenu>())
{
    m_clockBase.start();
    m_clock = [this] { return m_clockBase.elapsed(); };

    m_builtInMenu->addAction(QStringLiteral("&Close"), this, [this] { guarded([this] { DoCloseClick(); }); });
    m_builtInMenu->addAction(QStringLiteral("&Restore"), this, [this] { guarded([this] { DoRestoreClick(); }); });
    setPopupMenu(m_builtInMenu.get());

    connect(m_tray, &QSystemTrayIcon::activated, this, &TStTrayIcon::handleActivation);

    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    m_availabilityPoll = new QTimer(this);
    m_availabilityPoll->setInterval(kTrayPollMs);
    connect(m_availabilityPoll, &QTimer::timeout, this, &TStTrayIcon::pollTrayAvailability);
    if (!m_trayAvailable)
        m_availabilityPoll->start();

    // There is no stored layout to wait for: the defaults are complete, so the icon goes up now and later
    // property changes update it.
    if (m_active)
        AddToTray();
}

TStTrayIcon::~TStTrayIcon()
{
    DeleteFromTray();
    hookForm(false);
    // The menu may still be the tray's context menu; take it away before it goes.
    m_tray->setContextMenu(nullptr);
}

void TStTrayIcon::setActive(bool on)
{
    if (on) {
        AddToTray();
        m_active = true;
        if (m_resumeAnimation)
            setAnimate(true);
        return;
    }
    if (m_animate) {
        setAnimate(false);
        m_resumeAnimation = true;
    }
    DeleteFromTray();
    m_active = false;
}

void TStTrayIcon::setAnimate(bool on)
{
    if (on == m_animate)
        return;
    m_animate = on;
    if (!m_active)
        return;
    m_resumeAnimation = on;
    if (on) {
        if (!m_animationTimer) {
            m_animationTimer = new QTimer(this);
            connect(m_animationTimer, &QTimer::timeout, this, [this] { guarded([this] { DoTimer(); }); });
        }
        if (m_interval == 0)
            m_interval = fallbackInterval;
        setInterval(m_interval);
    } else {
        if (m_animationTimer)
            m_animationTimer->stop();
        if (!m_icon.isNull())
            m_displayedIcon = m_icon;
        else if (!m_images.isEmpty())
            m_displayedIcon = m_images.value(m_imageIndex);
        ResetIcon();
    }
    if (m_animationTimer) {
        if (m_animate)
            m_animationTimer->start();
        else
            m_animationTimer->stop();
    }
}

void TStTrayIcon::setHint(const QString &text)
{
    if (text == m_hint)
        return;
    m_hint = text;
    if (m_showHint && m_added && !notifyIcon(TrayCommand::Modify))
        throw ETrayIconError(ETrayIconError::UpdateFailed);
}

void TStTrayIcon::setIcon(const QIcon &icon)
{
    m_icon = icon;
    m_displayedIcon = m_icon;
    if (m_added)
        ResetIcon();
}

void TStTrayIcon::setImages(const QList<QIcon> &images)
{
    m_images = images;
    if (!m_icon.isNull() || m_images.isEmpty())
        return;
    m_displayedIcon = m_images.value(m_imageIndex);
    ResetIcon();
}

void TStTrayIcon::setImageIndex(int index)
{
    m_imageIndex = index;
    if (!m_added)
        return;
    if (m_images.isEmpty())
        throw ETrayIconError(ETrayIconError::NoImageList);
    m_displayedIcon = m_images.value(index);
    ResetIcon();
}

void TStTrayIcon::setInterval(int ms)
{
    m_interval = ms;
    // A zero or negative interval would spin the event loop; the stored value stays as given.
    if (m_animationTimer)
        m_animationTimer->setInterval(ms > 0 ? ms : fallbackInterval);
}

QMenu *TStTrayIcon::popupMenu() const
{
    return m_popupMenu.data();
}

void TStTrayIcon::setPopupMenu(QMenu *menu)
{
    m_popupMenu = menu;
    // Qt opens the context menu itself, at the pointer, on a right press; with none a right press does nothing.
    m_tray->setContextMenu(menu);
}

void TStTrayIcon::setShowHint(bool on)
{
    m_showHint = on;
    if (m_added && !notifyIcon(TrayCommand::Modify))
        throw ETrayIconError(ETrayIconError::UpdateFailed);
}

QIcon TStTrayIcon::builtInIcon()
{
    static const QIcon icon = [] {
        QIcon drawn;
        for (int size : {16, 22, 32, 48})
            drawn.addPixmap(drawNote(size));
        return drawn;
    }();
    return icon;
}

QString TStTrayIcon::toolTipText(const QString &hint)
{
    if (hint.size() <= maxHintLength)
        return hint;
    int length = maxHintLength;
    if (hint.at(length - 1).isHighSurrogate())
        --length;
    return hint.left(length);
}

void TStTrayIcon::AddToTray()
{
    if (m_added)
        return;
    hookForm(true);
    m_added = notifyIcon(TrayCommand::Add);
    if (!m_added)
        throw ETrayIconError(ETrayIconError::AddFailed);
}

void TStTrayIcon::DeleteFromTray()
{
    if (!m_added)
        return;
    notifyIcon(TrayCommand::Delete);
    m_added = false;
}

void TStTrayIcon::MinimizeApplication()
{
    if (m_owner)
        QCoreApplication::postEvent(m_owner, new QEvent(minimizeCommandEvent()));
}

void TStTrayIcon::ResetIcon()
{
    if (m_active && !notifyIcon(TrayCommand::Modify))
        throw ETrayIconError(ETrayIconError::UpdateFailed);
}

void TStTrayIcon::DoClick(Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    if (OnClick)
        OnClick(button, modifiers);
}

void TStTrayIcon::DoDblClick(Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    bool restoreApp = true;
    if (OnDblClick)
        OnDblClick(button, modifiers, restoreApp);
    if (restoreApp)
        DoRestore();
}

void TStTrayIcon::DoRestore()
{
    if (OnRestore)
        OnRestore();
    if (m_owner) {
        if (m_owner->isMinimized() && m_startHide >= 2)
            m_owner->setWindowState(m_owner->windowState() & ~Qt::WindowMinimized);
        m_owner->show();
        m_owner->raise();
        m_owner->activateWindow();
    }
    if (m_hideOnRestore)
        DeleteFromTray();
}

void TStTrayIcon::DoTimer()
{
    if (m_images.isEmpty() || !m_added)
        return;
    m_displayedIcon = m_images.value(m_frame);
    ResetIcon();
    ++m_frame;
    if (m_frame > m_images.size() - 1)
        m_frame = 0;
}

void TStTrayIcon::DoCloseClick()
{
    // Posted, so that the menu that called us has closed before the event loop ends. No form is closed first.
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

void TStTrayIcon::handleActivation(QSystemTrayIcon::ActivationReason reason)
{
    guarded([this, reason] {
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            press(Qt::LeftButton);
            break;
        case QSystemTrayIcon::MiddleClick:
            press(Qt::MiddleButton);
            break;
        case QSystemTrayIcon::DoubleClick:
            // The first press of this double click has already come as Trigger and raised OnClick.
            m_lastPressButton = Qt::NoButton;
            DoDblClick(Qt::LeftButton, QGuiApplication::queryKeyboardModifiers());
            break;
        case QSystemTrayIcon::Context: // Qt shows the context menu
        case QSystemTrayIcon::Unknown:
            break;
        }
    });
}

void TStTrayIcon::setClock(std::function<qint64()> msecsClock)
{
    m_clock = std::move(msecsClock);
}

bool TStTrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_owner || !m_owner)
        return QObject::eventFilter(watched, event);

    if (event->type() == minimizeCommandEvent()) {
        guarded([this] { ownerMinimizeCommand(false); });
        return true;
    }
    switch (event->type()) {
    case QEvent::WindowStateChange: {
        // Only the window manager's minimise is a command; our own setWindowState calls come back here too.
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        if (event->spontaneous() && m_owner->isMinimized() && !(change->oldState() & Qt::WindowMinimized))
            guarded([this] { ownerMinimizeCommand(true); });
        break;
    }
    case QEvent::Close:
        // A programmatic close() is the program ending itself ("Exit"); only the user's close goes to the tray.
        if (event->spontaneous() && m_closeToTray && m_active) {
            event->ignore();
            guarded([this] { sendOwnerToTray(); });
            return true;
        }
        break;
    case QEvent::Show:
        // An owner that is shown minimised right at the start disappears into the tray instead.
        if (m_startHide < 2) {
            if (m_owner->isMinimized()) {
                ++m_startHide;
                QMetaObject::invokeMethod(
                    m_owner.data(), [owner = m_owner] { owner->hide(); }, Qt::QueuedConnection);
            } else {
                m_startHide = 2;
            }
        }
        break;
    case QEvent::ApplicationWindowIconChange:
        if (m_displayedIcon.isNull() && m_added)
            guarded([this] { ResetIcon(); });
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool TStTrayIcon::notifyIcon(TrayCommand command)
{
    switch (command) {
    case TrayCommand::Add:
        m_tray->setIcon(iconToSend());
        // A registration without a tip clears whatever tip an earlier registration carried.
        m_tray->setToolTip(m_showHint ? toolTipText(m_hint) : QString());
        m_tray->show();
        return m_tray->isVisible();
    case TrayCommand::Modify:
        m_tray->setIcon(iconToSend());
        // An update without the tip leaves the tip shown before in place.
        if (m_showHint)
            m_tray->setToolTip(toolTipText(m_hint));
        return true;
    case TrayCommand::Delete:
        m_tray->hide();
        return true;
    }
    return false;
}

QIcon TStTrayIcon::iconToSend() const
{
    if (!m_displayedIcon.isNull())
        return m_displayedIcon;
    return programIcon();
}

QIcon TStTrayIcon::programIcon()
{
    QIcon appIcon = QApplication::windowIcon(); // not const, so that it moves out
    if (!appIcon.isNull())
        return appIcon;
    return builtInIcon();
}

void TStTrayIcon::hookForm(bool install)
{
    if (install) {
        if (m_owner && !m_hooked) {
            m_owner->installEventFilter(this);
            m_hooked = true;
        }
        return;
    }
    if (m_hooked && m_owner)
        m_owner->removeEventFilter(this);
    m_hooked = false;
}

void TStTrayIcon::press(Qt::MouseButton button)
{
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    const qint64 now = m_clock();
    // Some notification areas report every click as a single activation; a second press of the same button
    // within the desktop's double-click time is then the double click.
    const bool second =
        button == m_lastPressButton && now - m_lastPressAt <= QGuiApplication::styleHints()->mouseDoubleClickInterval();
    if (second) {
        m_lastPressButton = Qt::NoButton;
        DoDblClick(button, modifiers);
        return;
    }
    m_lastPressButton = button;
    m_lastPressAt = now;
    DoClick(button, modifiers);
}

void TStTrayIcon::ownerMinimizeCommand(bool ownerAlreadyMinimized)
{
    if (OnMinimize)
        OnMinimize();
    if (m_minimizeToTray && m_active) {
        sendOwnerToTray();
        return;
    }
    // The ordinary minimise. Setting the state, rather than showMinimized(), keeps a hidden owner hidden.
    if (!ownerAlreadyMinimized)
        m_owner->setWindowState(m_owner->windowState() | Qt::WindowMinimized);
}

void TStTrayIcon::sendOwnerToTray()
{
    AddToTray();
    m_owner->hide();
    // In the tray the owner is hidden, not minimised, so that a restore brings it back in its normal state.
    if (m_owner->isMinimized())
        m_owner->setWindowState(m_owner->windowState() & ~Qt::WindowMinimized);
}

void TStTrayIcon::pollTrayAvailability()
{
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    // The icon already stands registered, and Qt embeds it into a notification area that appears later.
    if (available)
        m_availabilityPoll->stop();
    if (available == m_trayAvailable)
        return;
    m_trayAvailable = available;
    emit trayAvailabilityChanged(available);
}

void TStTrayIcon::guarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (...) {
        report(AppError::currentMessage());
    }
}

void TStTrayIcon::report(const QString &message)
{
    if (isSignalConnected(QMetaMethod::fromSignal(&TStTrayIcon::errorRaised)))
        emit errorRaised(message);
    else
        qWarning("%s", qPrintable(message));
}
