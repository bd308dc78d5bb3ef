#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTest>

// Looks at the X desktop from outside, the way a user's window manager sees the program's windows,
// through the standard X tools (xdotool, wmctrl, xprop, xwininfo). The timeouts only bound how long a failing
// test takes, so they are generous.
namespace DesktopProbe {

// With hundreds of notes and both cores busy, one tool can take many seconds.
constexpr int toolTimeoutMs = 120000;
constexpr int defaultTimeoutMs = 30000;

// Runs a tool; false when it did not end by itself within toolTimeoutMs or crashed, which is reported, so
// that a tool that gave no answer is never read as an answer of "nothing there". A non-zero exit code is
// the tool's answer (xdotool search says 1 when it finds nothing) and left to the caller.
inline bool runTool(const QString &program, const QStringList &arguments, QString *output, int *exitCode = nullptr,
                    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
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

// The window manager's windows on screen whose title matches title, by decimal id. The manager's own list
// (wmctrl -l) costs a few requests a window; a search of the whole window tree (xdotool search) asks about
// each of the dozens of windows the manager frames every note with, and with 500 notes on a loaded machine
// takes longer than ten seconds.
inline QStringList windowsMatching(const QRegularExpression &title)
{
    // Titles in UTF-8 whatever the test's locale; wmctrl would print those it cannot convert as "N/A".
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    QString listing;
    int exitCode = 0;
    // A window that vanishes between the list and the reading of its title ends wmctrl with an X error.
    const bool listed = waitUntil(
        [&] {
            return runTool(QStringLiteral("wmctrl"), {QStringLiteral("-l")}, &listing, &exitCode, environment) &&
                   exitCode == 0;
        },
        defaultTimeoutMs);
    if (!listed) {
        qWarning("wmctrl -l gave no list of windows");
        return {};
    }
    // "0x01200003  0 host title": the id, the desktop, the client's machine and the title, which may hold spaces.
    static const QRegularExpression entry(QStringLiteral("^0x([0-9a-fA-F]+) +-?\\d+ +\\S+ (.*)$"));
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
// embedded below trayer's panel, in root coordinates; empty while there is none.
inline QRect trayIconRect()
{
    const QStringList lines =
        run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}).split(QLatin1Char('\n'));
    const QRegularExpression geometry(QStringLiteral("(\\d+)x(\\d+)[+-]-?\\d+[+-]-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    bool inPanel = false;
    for (const QString &line : lines) {
        if (line.contains(QStringLiteral("(\"panel\" \"trayer\")")))
            inPanel = true;
        else if (inPanel && line.contains(QStringLiteral("(\"quillet\" \"quillet\")"))) {
            const QRegularExpressionMatch m = geometry.match(line);
            if (m.hasMatch())
                return QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                             m.captured(2).toInt());
        }
    }
    return {};
}

inline QRect waitForTrayIcon(int timeoutMs = defaultTimeoutMs)
{
    QRect icon;
    waitUntil([&] { return !(icon = trayIconRect()).isEmpty(); }, timeoutMs);
    return icon;
}

inline void xdotool(const QStringList &arguments)
{
    run(QStringLiteral("xdotool"), arguments);
}

// A click of the given button (1 left, 3 right) at a point of the screen; repeat 2 for a double click.
inline void clickAt(const QPoint &point, int button, int repeat = 1)
{
    xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())});
    QTest::qWait(150);
    xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(repeat), QStringLiteral("--delay"),
             QStringLiteral("80"), QString::number(button)});
}

// Keys typed to whatever has the keyboard (an open menu grabs it).
inline void keys(const QStringList &names)
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100")} + names);
}

inline bool haveTools()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") &&
           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("wmctrl")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty();
}

} // namespace DesktopProbe
