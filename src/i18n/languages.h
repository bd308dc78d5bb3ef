#pragma once

#include <QString>
#include <QStringView>

#include <iterator>

// The interface languages, in the order of the tray menu's items: the one list that the tray menu, the
// text catalog, the language files' and older stores' code pages and Qt's own translations all read. A new
// language is a row here, a language file, and (for Qt's dialogs) the code of Qt's catalogs.
namespace Languages {

struct Language {
    // The word the settings keep, the language file is named after and the menu item shows in English.
    const char16_t *name;
    // The tray menu item that chooses it, and the text catalog's key of that item's caption.
    const char *menuItem;
    const char16_t *textKey;
    // The 8-bit Windows code page that systems in this language wrote their files in.
    int codePage;
    // The code of Qt's own catalogs; empty where Qt's texts stay English.
    const char *qtCode;
};

inline constexpr Language list[] = {
    {u"English", "PMLangEnglish", u"PMLangEnglish->Caption", 1252, ""},
    {u"Russian", "PMLangRussian", u"PMLangRussian->Caption", 1251, "ru"},
    {u"Bulgarian", "PMLangBulgarian", u"PMLangBulgarian->Caption", 1251, "bg"},
    {u"Greek", "PMLangGreek", u"PMLangGreek->Caption", 1253, "el"},
};
inline constexpr std::size_t count = std::size(list);

// The language of that name, letter case ignored; nullptr for a name not in the list.
const Language *find(QStringView name);
// The code page of the language's 8-bit files; 1252 for a name not in the list.
int codePage(QStringView name);
// The code of Qt's catalogs for the language; empty for English and for a name not in the list.
QString qtCode(QStringView name);

} // namespace Languages
