#include "i18n/language_file.h"

#include "i18n/languages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString interfaceSection = QStringLiteral("Interface");

} // namespace

LanguageFile::LanguageFile(const QString &languageFolder, const QString &languageName)
{
    const QString path = filePath(languageFolder, languageName);
    if (path.isEmpty())
        return;
    // Only a regular file is opened: a directory reads as nothing, and a named pipe or a device in its
    // place would block the user interface or never end.
    const QFileInfo info(path);
    if (!info.isFile())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = Profile::readUpTo(file, info.size(), maxFileSize);
    if (bytes.size() > maxFileSize)
        return;
    m_profile = Profile::fromBytesInCodePage(bytes, Languages::codePage(languageName), path);
    m_loaded = true;
}

QString LanguageFile::text(QStringView key, const QString &fallback) const
{
    if (!m_profile.hasKey(interfaceSection, key))
        return fallback;
    QString value = m_profile.readString(interfaceSection, key);
    if (value.size() > maxTextLength) {
        value.truncate(maxTextLength);
        // Half of a surrogate pair is no character; the cut drops it rather than leave it dangling.
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value;
}

bool LanguageFile::isSafeName(QStringView languageName)
{
    return !languageName.isEmpty() && !languageName.contains(QLatin1Char('/')) &&
           !languageName.contains(QLatin1Char('\\')) && !languageName.contains(QLatin1String("..")) &&
           !languageName.contains(QLatin1Char(':')) && !languageName.contains(QChar(0));
}

QString LanguageFile::filePath(const QString &languageFolder, const QString &languageName)
{
    if (!isSafeName(languageName))
        return {};
    return QDir(languageFolder).filePath(languageName + QLatin1String(".ini"));
}
