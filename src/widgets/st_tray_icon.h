#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class QEvent;
class QMenu;
class QTimer;
class QWidget;

// The program's icon in the desktop's notification area, over one QSystemTrayIcon.
//
// It turns the icon's activations into click events, shows its popup menu on a right click, and can send its owner
// form to the tray instead of letting it minimise or close. At most one exists per application: a second
// construction throws ETrayIconError 133.
//
// Events are std::function members, called on the UI thread; each may be left empty:
//   OnClick(button, modifiers)                 a single press of the left or middle button
//   OnDblClick(button, modifiers, restoreApp)  a double click; restoreApp enters true, and when the handler leaves
//                                              it true the owner is restored afterwards (DoRestore)
//   OnMinimize()                               the owner received the minimise command
//   OnRestore()                                a restore begins
// An exception thrown by an event handler, or by the control while it handles a click or an owner event, never
// reaches Qt's event loop: its message is emitted as errorRaised() (logged when nothing is connected).
//
// The icon is registered even when no notification area exists yet; Qt shows it once one appears. trayAvailable()
// and trayAvailabilityChanged() tell the owner whether the user can reach the icon's menu at all.
class TStTrayIcon : public QObject {
    Q_OBJECT

public:
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers modifiers)> OnClick;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool &restoreApp)> OnDblClick;
    std::function<void()> OnMinimize;
    std::function<void()> OnRestore;

    // The owner (may be null) becomes the QObject parent, so the control goes with it. Needs a QApplication.
    // With Active on by default the icon is registered at once.
    explicit TStTrayIcon(QWidget *owner);
    ~TStTrayIcon() override;

    static constexpr int maxHintLength = 63;
    static constexpr int defaultInterval = 250;
    // What an animation started with Interval 0 runs at.
    static constexpr int fallbackInterval = 200;

    bool active() const { return m_active; }
    void setActive(bool on);
    bool animate() const { return m_animate; }
    void setAnimate(bool on);
    bool closeToTray() const { return m_closeToTray; }
    void setCloseToTray(bool on) { m_closeToTray = on; }
    bool hideOnRestore() const { return m_hideOnRestore; }
    void setHideOnRestore(bool on) { m_hideOnRestore = on; }
    // Stored whole; the tool tip shows its first maxHintLength characters.
    const QString &hint() const { return m_hint; }
    void setHint(const QString &text);
    const QIcon &icon() const { return m_icon; }
    void setIcon(const QIcon &icon);
    // An empty list means "no image list".
    const QList<QIcon> &images() const { return m_images; }
    void setImages(const QList<QIcon> &images);
    int imageIndex() const { return m_imageIndex; }
    // Throws ETrayIconError 135 when the icon is registered and there are no images; the index is kept regardless.
    void setImageIndex(int index);
    int interval() const { return m_interval; }
    void setInterval(int ms);
    bool minimizeToTray() const { return m_minimizeToTray; }
    void setMinimizeToTray(bool on) { m_minimizeToTray = on; }
    // The built-in "&Close" / "&Restore" menu until another is set; null for no menu. A menu that is destroyed
    // elsewhere leaves the control with no menu.
    QMenu *popupMenu() const;
    void setPopupMenu(QMenu *menu);
    bool showHint() const { return m_showHint; }
    void setShowHint(bool on);

    bool iconAdded() const { return m_added; }
    bool trayAvailable() const { return m_trayAvailable; }
    // What is handed to the platform (icon, tool tip, menu, visibility), for inspection.
    const QSystemTrayIcon &systemTrayIcon() const { return *m_tray; }
    // The note square drawn for a program that has no icon of its own.
    static QIcon builtInIcon();
    // The program's icon: the application's, or the built-in one while none is set.
    static QIcon programIcon();
    // hint cut to maxHintLength characters, never splitting a surrogate pair.
    static QString toolTipText(const QString &hint);

    void AddToTray();
    void DeleteFromTray();
    // Sends the minimise command to the owner; it is handled later, from the event loop, like the window
    // manager's minimise (OnMinimize, then hiding to the tray when MinimizeToTray is on).
    void MinimizeApplication();
    void RestoreApplication() { DoRestore(); }
    void ResetIcon();
    void DoClick(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void DoDblClick(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void DoRestore();
    // One animation step; the animation timer calls it.
    void DoTimer();
    void DoCloseClick();
    void DoRestoreClick() { DoRestore(); }

    // Where the platform's activations arrive; public so that a click can be replayed without a notification area.
    void handleActivation(QSystemTrayIcon::ActivationReason reason);
    // The millisecond clock that tells a double click from two clicks when the platform reports only single
    // activations; tests replace it.
    void setClock(std::function<qint64()> msecsClock);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void trayAvailabilityChanged(bool available);
    void errorRaised(const QString &message);

private:
    enum class TrayCommand { Add, Modify, Delete };

    // Counts live controls; being the first member it also gives the count back when a constructor throws.
    class InstanceSlot {
    public:
        InstanceSlot();
        ~InstanceSlot();
        InstanceSlot(const InstanceSlot &) = delete;
        InstanceSlot &operator=(const InstanceSlot &) = delete;
    };

    bool notifyIcon(TrayCommand command);
    QIcon iconToSend() const;
    void hookForm(bool install);
    void press(Qt::MouseButton button);
    void ownerMinimizeCommand(bool ownerAlreadyMinimized);
    void sendOwnerToTray();
    void pollTrayAvailability();
    void guarded(const std::function<void()> &action);
    void report(const QString &message);

    InstanceSlot m_slot;
    QPointer<QWidget> m_owner;
    QSystemTrayIcon *m_tray = nullptr;
    std::unique_ptr<QMenu> m_builtInMenu;
    QPointer<QMenu> m_popupMenu;
    QTimer *m_animationTimer = nullptr;
    QTimer *m_availabilityPoll = nullptr;

    bool m_active = true;
    bool m_animate = false;
    bool m_closeToTray = true;
    bool m_hideOnRestore = false;
    QString m_hint;
    QIcon m_icon;
    QList<QIcon> m_images;
    int m_imageIndex = 0;
    int m_interval = defaultInterval;
    bool m_minimizeToTray = false;
    bool m_showHint = true;

    bool m_added = false;
    bool m_hooked = false;
    bool m_resumeAnimation = false;
    int m_startHide = 0;
    int m_frame = 0;
    QIcon m_displayedIcon;
    bool m_trayAvailable = false;

    std::function<qint64()> m_clock;
    QElapsedTimer m_clockBase;
    Qt::MouseButton m_lastPressButton = Qt::NoButton;
    qint64 m_lastPressAt = 0;
};
