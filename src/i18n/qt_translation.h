#pragma once

#include <QString>
#include <QStringView>
#include <QTranslator>

// Qt's own texts (the colour, font, open and save dialogs, the standard buttons) in the interface language,
// from the catalogs Qt ships (Debian's qt6-translations-l10n). Where Qt has no texts for a language, its
// dialogs stay English.
class QtTranslation {
public:
    // Puts the language's catalog in place of the one installed before (none for English). A language that
    // did not change loads nothing, as ApplyLanguage runs at every opening of a dialog.
    void use(QStringView languageName);

private:
    QString m_code;
    QTranslator m_translator;
    bool m_installed = false;
};
