#include "i18n/message_text.h"

#include "i18n/language_file.h"
#include "i18n/text_catalog.h"

#include <QHash>

namespace {

// Only the entries a language file has replaced; the rest are still their built-in texts.
QHash<QString, QString> &replaced()
{
    static QHash<QString, QString> texts;
    return texts;
}

} // namespace

namespace MessageText {

QString text(QStringView key)
{
    const TextCatalog::Entry *entry = TextCatalog::find(key);
    if (!entry || entry->group != TextCatalog::Group::Message)
        return key.toString();
    return replaced().value(entry->key.toString(), entry->builtInText.toString());
}

void apply(const LanguageFile &file)
{
    for (const TextCatalog::Entry &entry : TextCatalog::entries(TextCatalog::Group::Message))
        replaced().insert(entry.key.toString(), file.text(entry.key, text(entry.key)));
}

} // namespace MessageText
