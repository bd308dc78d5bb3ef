#pragma once

#include <QString>
#include <QStringView>

#include <span>

// The interface texts that a language file can replace. A text key is the path of the control property it
// replaces, parts joined by "->" ("FormSticky->PMUndo->Caption"); the built-in text is the English caption
// the control carries when it is created. The one table, in the order the texts are applied, drives both
// apply operations and is what English.ini mirrors.
namespace TextCatalog {

// Which operation applies a text: the main form's ApplyLanguage (tray menu, options dialog, alarm dialog,
// about box) or a note window's ApplyNoteLanguage (its context menu). Message texts belong to no control:
// ApplyLanguage keeps them for the commands that report them (see MessageText).
enum class Group { MainForm, NoteWindow, Message };

struct Entry {
    QStringView key;
    QStringView builtInText;
    Group group;
};

// Every entry in the order of application: the 42 of the main form, the 40 of a note window, then the
// messages.
std::span<const Entry> entries();
// The entries one operation applies, in its order.
std::span<const Entry> entries(Group group);
// The entry whose key matches regardless of letter case, as language files match keys; nullptr when none.
const Entry *find(QStringView key);
// The English text a control or menu item carries until a language replaces it. A key the catalog lacks ends
// the program: only a wrong key in the code can ask for one.
QString builtInText(QStringView key);

// A key read as the path it is. "PMExit->Caption": no form, the tray menu's item "PMExit". "FormAlarm->Caption":
// the form's own title, no control. "FormAlarm->ComboBoxPeriod->Items->Strings[2]": property "Items->Strings[2]",
// index 2. The forms are FormOptions, FormAlarm, AboutBox, FormFind and FormSticky; any other first part is a tray
// item.
struct KeyPath {
    QStringView form;
    QStringView control;
    QStringView property;
    int index = -1; // the list entry of an "Items->Strings[n]" property, -1 for any other
};
KeyPath parse(QStringView key);

} // namespace TextCatalog
