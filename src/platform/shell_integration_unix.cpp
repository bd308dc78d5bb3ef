#include "platform/shell_integration.h"

#include "base/app_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

// The XDG side: an autostart entry, a shared-mime-info package, a desktop file that opens .stc files and
// the default-handler line in mimeapps.list.

namespace {

constexpr char mimeType[] = "application/x-vellumy";
constexpr char handlerId[] = "quillet-vellumy.desktop";
// The name under which an install puts the program's icon into the hicolor theme; a MIME package can
// name a theme icon only, never a file.
constexpr char themeIconName[] = "quillet";
// The desktop's cache tools run only after a change, at the first start or after a move, and are given
// this long each before they are left behind.
constexpr int toolTimeoutMs = 5000;

QString configHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString autoStartPath()
{
    return configHome() + QStringLiteral("/autostart/quillet.desktop");
}

[[noreturn]] void failToSet(const QString &valueName)
{
    throw AppError(QStringLiteral("Failed to set data for '%1'").arg(valueName));
}

// A string value of a desktop entry: the key file's own escapes.
QString desktopString(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

// One argument of an Exec line. An argument with a reserved character is put in double quotes with ", `, $
// and \ escaped; a literal % is doubled so that it is no field code. The key file's string escapes come
// on top, because a reader undoes those first: a backslash in a path ends up as four.
QString execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`=");
    const bool quote = argument.isEmpty() ||
                       std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); });
    QString quoted;
    if (quote)
        quoted += QLatin1Char('"');
    for (const QChar c : argument) {
        if (quote && QStringLiteral("\"`$\\").contains(c))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    if (quote)
        quoted += QLatin1Char('"');
    return desktopString(quoted);
}

// Every entry names the executable as its TryExec too: once the program is removed (or its build folder
// deleted) a desktop passes over the entry instead of offering or starting a program that is not there.
QByteArray autoStartEntry(const QString &executablePath)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "TryExec=%2\n"
                          "Exec=%3\n"
                          "Terminal=false\n")
        .arg(desktopString(QString::fromLatin1(ShellIntegration::programTitle)), desktopString(executablePath),
             execArgument(executablePath))
        .toUtf8();
}

QByteArray handlerEntry(const QString &executablePath, const QString &iconPath)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Icon=%2\n"
                          "TryExec=%3\n"
                          "Exec=%4 %f\n"
                          "MimeType=%5;\n"
                          "NoDisplay=true\n"
                          "Terminal=false\n")
        .arg(desktopString(QString::fromLatin1(ShellIntegration::programTitle)), desktopString(iconPath),
             desktopString(executablePath), execArgument(executablePath), QLatin1String(mimeType))
        .toUtf8();
}

QByteArray mimePackage()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                          "  <mime-type type=\"%1\">\n"
                          "    <comment>%2</comment>\n"
                          "    <icon name=\"%3\"/>\n"
                          "    <glob pattern=\"*.stc\"/>\n"
                          "  </mime-type>\n"
                          "</mime-info>\n")
        .arg(QLatin1String(mimeType), QLatin1String(ShellIntegration::fileTypeName), QLatin1String(themeIconName))
        .toUtf8();
}

// Sets key=value in [group] of a key file, keeping every other line, comment and group as it was.
QByteArray withGroupEntry(const QByteArray &text, const QByteArray &group, const QByteArray &key,
                          const QByteArray &value)
{
    QList<QByteArray> lines = text.split('\n');
    if (text.isEmpty() || text.endsWith('\n'))
        lines.removeLast();
    const QByteArray header = '[' + group + ']';
    const QByteArray entry = key + '=' + value;

    const auto groupStart = std::find_if(lines.begin(), lines.end(),
                                         [&header](const QByteArray &line) { return line.trimmed() == header; });
    if (groupStart == lines.end()) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QByteArray());
        lines << header << entry;
        return lines.join('\n') + '\n';
    }

    qsizetype insertAt = groupStart - lines.begin() + 1;
    bool found = false;
    for (qsizetype i = insertAt; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.startsWith('['))
            break;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        insertAt = i + 1;
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == key) {
            lines[i] = entry;
            found = true;
        }
    }
    if (!found)
        lines.insert(insertAt, entry);
    return lines.join('\n') + '\n';
}

// Writes a file unless it already holds exactly this content, so that an unchanged start touches nothing.
// True when it wrote.
bool writeIfChanged(const QString &path, const QByteArray &content, const QString &valueName)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content)
        return false;
    existing.close();

    QSaveFile file(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly) ||
        file.write(content) != content.size() || !file.commit())
        failToSet(valueName);
    return true;
}

// The cache tools are optional: a desktop without them reads the files directly or not at all.
void runTool(const QString &name, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty())
        return;
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (tool.waitForStarted(toolTimeoutMs) && !tool.waitForFinished(toolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished(toolTimeoutMs);
    }
}

} // namespace

namespace ShellIntegration {

void RegisterFileType(const QString &executablePath, const QString &iconPath)
{
    // Every part of the registration is a default value in the registry, whose name is empty.
    const QString valueName;
    const QString mimeFolder = dataHome() + QStringLiteral("/mime");
    const QString applicationsFolder = dataHome() + QStringLiteral("/applications");

    const bool packageChanged =
        writeIfChanged(mimeFolder + QStringLiteral("/packages/quillet.xml"), mimePackage(), valueName);
    const bool handlerChanged = writeIfChanged(applicationsFolder + QLatin1Char('/') + QLatin1String(handlerId),
                                               handlerEntry(executablePath, iconPath), valueName);

    // Another program's associations in mimeapps.list stay; only the line for the type is set.
    const QString associationsPath = configHome() + QStringLiteral("/mimeapps.list");
    QFile associations(associationsPath);
    QByteArray current;
    if (associations.exists()) {
        if (!associations.open(QIODevice::ReadOnly))
            failToSet(valueName);
        current = associations.readAll();
        associations.close();
    }
    writeIfChanged(associationsPath,
                   withGroupEntry(current, "Default Applications", mimeType, QByteArray(handlerId) + ';'), valueName);

    if (packageChanged)
        runTool(QStringLiteral("update-mime-database"), {mimeFolder});
    if (handlerChanged)
        runTool(QStringLiteral("update-desktop-database"), {QStringLiteral("-q"), applicationsFolder});
}

void ApplyAutoStart(bool autoStart, const QString &executablePath)
{
    if (autoStart)
        writeIfChanged(autoStartPath(), autoStartEntry(executablePath), QString::fromLatin1(programTitle));
    else
        QFile::remove(autoStartPath());
}

} // namespace ShellIntegration
