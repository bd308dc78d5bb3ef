#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTest>

// Looks at the X desktop from outside, the way a user's window manager sees the program's windows,
// through the standard X tools (xdotool, xprop, xwininfo).
namespace DesktopProbe {

inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Visible windows whose title is exactly title.
inline QStringList windowsTitled(const QString &title)
{
    const QString pattern = QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$');
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

inline QString waitForWindow(const QString &title, int timeoutMs = 15000)
{
    QStringList found;
    QElapsedTimer timer;
    timer.start();
    while ((found = windowsTitled(title)).isEmpty() && timer.elapsed() < timeoutMs)
        QTest::qWait(100);
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

inline QRect waitForTrayIcon(int timeoutMs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    QRect icon;
    while ((icon = trayIconRect()).isEmpty() && timer.elapsed() < timeoutMs)
        QTest::qWait(100);
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
           !QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty();
}

} // namespace DesktopProbe
