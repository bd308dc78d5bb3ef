#include "i18n/qt_translation.h"

#include "i18n/languages.h"

#include <QCoreApplication>
#include <QLibraryInfo>

void QtTranslation::use(QStringView languageName)
{
    const QString code = Languages::qtCode(languageName);
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
