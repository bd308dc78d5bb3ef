#pragma once

#include <QString>
#include <QStringView>

class LanguageFile;

// The program's messages in the current language. A control's caption is replaced in the control itself,
// but a message is made only when a command fails, long after the language was applied; so the texts of
// the catalog's Message entries are kept here. ApplyLanguage hands each language file over as it reads it,
// and the failing command asks for its text by key:
//
//     throw AppError(MessageText::text(u"Messages->NoPrinter"));
//
// A new message is a catalog row of group Message, its key under "Messages->", and a line in every language
// file. Texts with arguments keep their %1, %2 in every language.
namespace MessageText {

// The key's text in the current language: the built-in (English) one until a language file replaced it.
// A key the catalog does not know gives itself, so that a slip shows rather than vanishes.
QString text(QStringView key);

// Every message text from the file, the current text as the fallback (the rule of the control captions).
void apply(const LanguageFile &file);

} // namespace MessageText
