#include "i18n/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

QString QtTranslation::languageCode(QStringView languageName)
{
    static constexpr struct {
        const char *name;
        const char *code;
    } codes[] = {{"Russian", "ru"}, {"Bulgarian", "bg"}, {"Greek", "el"}};
    for (const auto &entry : codes) {
        if (languageName.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(entry.code);
    }
    return {};
}

void QtTranslation::use(QStringView languageName)
{
    const QString code = languageCode(languageName);
    if (code == m_code)
        return;
    m_code = code;
    if (m_installed) {
        QCoreApplication::removeTranslator(&m_translator);
        m_installed = false;
    }
    // "qt_<code>" names the catalogs of every Qt module at once (qtbase, qtmultimedia, ...).
    if (!code.isEmpty() &&
        m_translator.load(QStringLiteral("qt_") + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        m_installed = QCoreApplication::installTranslator(&m_translator);
}
