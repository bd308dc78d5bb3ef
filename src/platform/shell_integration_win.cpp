#include "platform/shell_integration.h"

#include "base/app_error.h"

#include <QDir>
#include <QSettings>

// The registry side. QSettings names a key's unnamed (default) value "Default".

namespace {

// File types of the current user are read from here; keys straight under HKEY_CURRENT_USER are not.
constexpr char classesKey[] = "HKEY_CURRENT_USER\\Software\\Classes";
constexpr char runKey[] = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

void setValue(QSettings &registry, const QString &key, const QString &data, const QString &valueName)
{
    registry.setValue(key, data);
    registry.sync();
    if (registry.status() != QSettings::NoError)
        throw AppError(QStringLiteral("Failed to set data for '%1'").arg(valueName));
}

} // namespace

namespace ShellIntegration {

void RegisterFileType(const QString &executablePath, const QString &iconPath)
{
    const QString type = QString::fromLatin1(fileTypeName);
    const QString icon = QLatin1Char('"') + QDir::toNativeSeparators(iconPath) + QStringLiteral("\",0");
    const QString command = QDir::toNativeSeparators(executablePath) + QStringLiteral(" %1");

    QSettings classes(QString::fromLatin1(classesKey), QSettings::NativeFormat);
    setValue(classes, QStringLiteral(".stc/Default"), type, QString());
    setValue(classes, type + QStringLiteral("/Default"), type, QString());
    setValue(classes, type + QStringLiteral("/DefaultIcon/Default"), icon, QString());
    setValue(classes, type + QStringLiteral("/shell/open/command/Default"), command, QString());
}

void ApplyAutoStart(bool autoStart, const QString &executablePath)
{
    const QString name = QString::fromLatin1(programTitle);
    QSettings run(QString::fromLatin1(runKey), QSettings::NativeFormat);
    if (autoStart)
        setValue(run, name, QDir::toNativeSeparators(executablePath), name);
    else
        run.remove(name);
}

} // namespace ShellIntegration
