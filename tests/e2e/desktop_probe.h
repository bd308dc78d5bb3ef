#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTest>

// Looks at the X desktop from outside, the way a user's window manager sees the program's windows,
// through the standard X tools (xdotool, wmctrl, xprop, xwininfo). Every wait here is for a condition: the
// timeouts only bound how long a failing test takes, so they are generous.
namespace DesktopProbe {

// With hundreds of notes and both cores busy, one tool can take many seconds.
constexpr int toolTimeoutMs = 120000;
constexpr int defaultTimeoutMs = 30000;

// Runs a tool; false when it did not end by itself within toolTimeoutMs or crashed, which is reported, so
// that a tool that gave no answer is never read as an answer of "nothing there". A non-zero exit code is
// the tool's answer (xdotool search says 1 when it finds nothing) and left to the caller.
inline bool runTool(const QString &program, const QStringList &arguments, QString *output, int *exitCode = nullptr,
                    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                    QString *errors = nullptr)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(toolTimeoutMs)) {
        qWarning("%s %s did not end within %d ms", qPrintable(program), qPrintable(arguments.join(QLatin1Char(' '))),
                 toolTimeoutMs);
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        qWarning("%s %s crashed", qPrintable(program), qPrintable(arguments.join(QLatin1Char(' '))));
        return false;
    }
    *output = QString::fromUtf8(process.readAllStandardOutput());
    if (errors)
        *errors = QString::fromUtf8(process.readAllStandardError());
    if (exitCode)
        *exitCode = process.exitCode();
    return true;
}

inline QString run(const QString &program, const QStringList &arguments)
{
    QString output;
    runTool(program, arguments, &output);
    return output;
}

// Tries condition until it holds or timeoutMs has passed; true when it held. Each try starts processes that
// talk to the X server, so the tries are spaced a little.
template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = defaultTimeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

inline bool isViewable(const QString &window)
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window})
        .contains(QStringLiteral("Map State: IsViewable"));
}

// The window manager's list of its windows (wmctrl -l, with WM_CLASS as well for -x), titles in UTF-8
// whatever the test's locale (wmctrl prints those it cannot convert as "N/A"). The manager is slow to let go
// of the windows of a program that ended: after hundreds of notes its list names windows that no longer
// exist for seconds, and wmctrl ends with an X error until then; it is asked again, for as long as any tool
// may take, as "no list" must never read as "no window".
inline bool windowList(QString *listing, const QStringList &options = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    QString errors;
    int exitCode = 0;
    const bool listed = waitUntil(
        [&] {
            return runTool(QStringLiteral("wmctrl"), QStringList{QStringLiteral("-l")} + options, listing, &exitCode,
                           environment, &errors) &&
                   exitCode == 0;
        },
        toolTimeoutMs);
    if (!listed)
        qWarning("wmctrl -l gave no list of windows (exit code %d): %s", exitCode, qPrintable(errors));
    return listed;
}

// The window manager's windows on screen whose title matches title, by decimal id. The manager's own list
// costs a few requests a window; a search of the whole window tree (xdotool search) asks about each of the
// dozens of windows the manager frames every note with, and with 500 notes on a loaded machine takes longer
// than ten seconds.
inline QStringList windowsMatching(const QRegularExpression &title)
{
    // "0x01200003  0 host title": the id, the desktop, the client's machine and the title, which may hold spaces.
    static const QRegularExpression entry(QStringLiteral("^0x([0-9a-fA-F]+) +-?\\d+ +\\S+ (.*)$"));
    QString listing;
    windowList(&listing);
    QStringList found;
    for (const QString &line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = entry.match(line);
        if (!m.hasMatch() || !title.match(m.captured(2)).hasMatch())
            continue;
        const QString window = QString::number(m.captured(1).toULongLong(nullptr, 16));
        // Managed is not yet on screen: the manager lists a window before it maps it.
        if (isViewable(window))
            found.append(window);
    }
    return found;
}

// Returns once the window manager has let go of every window of the program that ended, so that the next
// test's windows do not wait behind the unmanaging of hundreds of old ones.
inline bool waitUntilProgramWindowsGone(int timeoutMs = toolTimeoutMs)
{
    QString listing;
    return waitUntil(
        [&] {
            return windowList(&listing, {QStringLiteral("-x")}) &&
                   !listing.contains(QStringLiteral(" quillet.quillet "));
        },
        timeoutMs);
}

// Windows on screen whose title is exactly title.
inline QStringList windowsTitled(const QString &title)
{
    return windowsMatching(QRegularExpression(QRegularExpression::anchoredPattern(QRegularExpression::escape(title))));
}

inline QString waitForWindow(const QString &title, int timeoutMs = defaultTimeoutMs)
{
    QStringList found;
    waitUntil([&] { return !(found = windowsTitled(title)).isEmpty(); }, timeoutMs);
    return found.value(0);
}

// The window that has the keyboard, by decimal id; empty when none has.
inline QString activeWindow()
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed();
}

// Every window of the program on screen, the popup menus too (which no window manager lists).
inline QStringList programWindows()
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--class"), QStringLiteral("quillet")})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A popup menu bypasses the window manager, as the notification area's icon and a tooltip do too.
inline bool isMenu(const QString &window)
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window})
               .contains(QStringLiteral("Override Redirect State: yes")) &&
           !run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_WINDOW_TYPE")})
                .contains(QStringLiteral("_NET_WM_WINDOW_TYPE_TOOLTIP"));
}

// A popup menu of the program (with the submenus opened from it) and the windows that were there before it.
struct Menu {
    QStringList before;
    QString window;

    QStringList openMenus() const
    {
        QStringList menus;
        for (const QString &window : programWindows()) {
            if (!before.contains(window) && isMenu(window))
                menus.append(window);
        }
        return menus;
    }
    // True once the menu and every submenu are closed.
    bool waitUntilClosed(int timeoutMs = defaultTimeoutMs) const
    {
        return waitUntil([this] { return openMenus().isEmpty(); }, timeoutMs);
    }
};

inline int number(const QString &text, const QString &label)
{
    const QRegularExpression re(QRegularExpression::escape(label) + QStringLiteral(":\\s*(-?\\d+)"));
    return re.match(text).captured(1).toInt();
}

// The window frame's outer rectangle: the client area grown by the frame extents the window manager
// announces.
inline QRect frameRect(const QString &window)
{
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    const QRect client(number(info, QStringLiteral("Absolute upper-left X")),
                       number(info, QStringLiteral("Absolute upper-left Y")), number(info, QStringLiteral("Width")),
                       number(info, QStringLiteral("Height")));
    const QString extents =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
    if (!m.hasMatch())
        return client;
    return client.adjusted(-m.captured(1).toInt(), -m.captured(3).toInt(), m.captured(2).toInt(),
                           m.captured(4).toInt());
}

inline QRect clientRect(const QString &window)
{
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    return QRect(number(info, QStringLiteral("Absolute upper-left X")),
                 number(info, QStringLiteral("Absolute upper-left Y")), number(info, QStringLiteral("Width")),
                 number(info, QStringLiteral("Height")));
}

inline QStringList windowStates(const QString &window)
{
    const QString text = run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_STATE")});
    return text.section(QLatin1Char('='), 1)
        .split(QLatin1Char(','), Qt::SkipEmptyParts)
        .replaceInStrings(QRegularExpression(QStringLiteral("\\s")), QString());
}

// Where the program's icon sits in the notification area (trayer): the window of class "quillet"
// embedded below trayer's panel, in root coordinates; empty while there is none on screen. Trayer maps the
// icon before it has made room for it, partly off the screen beside the panel, so an icon counts only once
// the panel holds it (a click before that lands on nothing).
inline QRect trayIconRect()
{
    const QString root = run(QStringLiteral("xwininfo"), {QStringLiteral("-root")});
    const QRect screen(0, 0, number(root, QStringLiteral("Width")), number(root, QStringLiteral("Height")));
    const QStringList lines =
        run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}).split(QLatin1Char('\n'));
    const QRegularExpression geometry(
        QStringLiteral("^\\s*(0x[0-9a-fA-F]+) .*\\s(\\d+)x(\\d+)[+-]-?\\d+[+-]-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    const auto rectOf = [](const QRegularExpressionMatch &m) {
        return QRect(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    };
    QRect panel;
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = geometry.match(line);
        if (!m.hasMatch())
            continue;
        if (line.contains(QStringLiteral("(\"panel\" \"trayer\")"))) {
            panel = rectOf(m);
        } else if (!panel.isNull() && line.contains(QStringLiteral("(\"quillet\" \"quillet\")"))) {
            const QRect icon = rectOf(m);
            // trayer's panel stands at the right edge of the screen once it has grown round the icon.
            if (panel.right() == screen.right() && panel.contains(icon) && screen.contains(icon) &&
                isViewable(m.captured(1)))
                return icon;
        }
    }
    return {};
}

// The icon once trayer has laid it out: seen at the same place twice in a row, as trayer moves its panel and
// the icon in separate steps while it makes room, and a click between them lands beside the icon.
inline QRect waitForTrayIcon(int timeoutMs = defaultTimeoutMs)
{
    QRect icon;
    waitUntil(
        [&] {
            const QRect last = icon;
            icon = trayIconRect();
            return !icon.isEmpty() && icon == last;
        },
        timeoutMs);
    return icon;
}

inline void xdotool(const QStringList &arguments)
{
    run(QStringLiteral("xdotool"), arguments);
}

// Where the pointer is, in root coordinates.
inline QPoint pointer()
{
    const QString location = run(QStringLiteral("xdotool"), {QStringLiteral("getmouselocation")});
    return QPoint(number(location, QStringLiteral("x")), number(location, QStringLiteral("y")));
}

// Moves the pointer and returns once the X server has it there (xdotool's own --sync waits in vain for a
// move when the pointer is there already).
inline bool moveTo(const QPoint &point)
{
    xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())});
    return waitUntil([&] { return pointer() == point; });
}

// A click of the given button (1 left, 3 right) at a point of the screen; repeat 2 for a double click. The
// pointer is where it should be before the button goes down.
// A click of the same button on the same spot as the last one, sooner than the double-click interval after it,
// is the second half of a double click to the program (to Qt: within 400 ms and 5 pixels, which the test desktop
// does not change), and a double click of the right button opens no menu. Such a click first waits until the
// last one is that old, with a margin for the X server's time stamps: on a fast machine a test reaches its next
// click on the notification area's icon well within the interval.
inline void clickAt(const QPoint &point, int button, int repeat = 1)
{
    constexpr qint64 doubleClickIntervalMs = 400 + 100;
    constexpr int doubleClickDistance = 5;
    static QElapsedTimer lastClick;
    static QPoint lastPoint;
    static int lastButton = 0;
    const QPoint moved = point - lastPoint;
    if (lastClick.isValid() && button == lastButton && qAbs(moved.x()) <= doubleClickDistance &&
        qAbs(moved.y()) <= doubleClickDistance && lastClick.elapsed() < doubleClickIntervalMs)
        QTest::qWait(int(doubleClickIntervalMs - lastClick.elapsed()));
    moveTo(point);
    xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(repeat), QStringLiteral("--delay"),
             QStringLiteral("80"), QString::number(button)});
    lastClick.start();
    lastPoint = point;
    lastButton = button;
}

// Keys typed to whatever has the keyboard (an open menu grabs it).
inline void keys(const QStringList &names)
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100")} + names);
}

// A click that opens a popup menu of the program; its window is empty when none opened within timeoutMs.
inline Menu openMenu(const QPoint &point, int button, int timeoutMs = defaultTimeoutMs)
{
    Menu menu{programWindows(), {}};
    clickAt(point, button);
    waitUntil([&] { return !(menu.window = menu.openMenus().value(0)).isEmpty(); }, timeoutMs);
    return menu;
}

// The time of the last key press the program saw in window, which Qt stamps on the window (or on the
// window it names for that) for the window manager; 0 before any.
inline quint64 userTime(const QString &window)
{
    const QString holder =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_USER_TIME_WINDOW")})
            .section(QLatin1Char('#'), 1)
            .trimmed();
    return run(QStringLiteral("xprop"),
               {QStringLiteral("-id"), holder.isEmpty() ? window : holder, QStringLiteral("_NET_WM_USER_TIME")})
        .section(QLatin1Char('='), 1)
        .trimmed()
        .toULongLong();
}

// Returns true once the program has handled every input event sent to it before: a press of Shift, which
// does nothing in the program, queues up behind them, and the program stamps its time on the window as it
// reads it. Everything read with it is delivered before the program turns to anything else (a termination
// request). window gets the keyboard for that.
inline bool syncWith(const QString &window, int timeoutMs = defaultTimeoutMs)
{
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    const quint64 before = userTime(window);
    xdotool({QStringLiteral("key"), QStringLiteral("shift")});
    return waitUntil([&] { return userTime(window) != before; }, timeoutMs);
}

inline bool haveTools()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") &&
           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("wmctrl")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty();
}

} // namespace DesktopProbe
