#include "i18n/text_catalog.h"

#include "i18n/languages.h"

#include <QString>

#include <algorithm>
#include <array>

namespace {

using TextCatalog::Entry;
using TextCatalog::Group;

constexpr Entry mainRow(const char16_t *key, const char16_t *text)
{
    return {QStringView(key), QStringView(text), Group::MainForm};
}

constexpr Entry noteRow(const char16_t *key, const char16_t *text)
{
    return {QStringView(key), QStringView(text), Group::NoteWindow};
}

constexpr Entry messageRow(const char16_t *key, const char16_t *text)
{
    return {QStringView(key), QStringView(text), Group::Message};
}

constexpr auto beforeLanguages = std::to_array<Entry>({
    // Tray menu
    mainRow(u"PMNewStickyNote->Caption", u"New Sticky Note"),
    mainRow(u"PMFind->Caption", u"Find..."),
    mainRow(u"PMSetAll->Caption", u"Set All"),
    mainRow(u"PMAllOnTop->Caption", u"On Top"),
    mainRow(u"PMAllLockText->Caption", u"Lock Text"),
    mainRow(u"PMHideAll->Caption", u"Hide All"),
    mainRow(u"PMDeleteAll->Caption", u"Delete All"),
    mainRow(u"PMRestoreDeleted->Caption", u"Restore Deleted Notes"),
    mainRow(u"PMOptions->Caption", u"Options"),
    mainRow(u"PMLanguage->Caption", u"Language"),
});

// Then the items of the language list, each showing the language's own name in English.
constexpr auto afterLanguages = std::to_array<Entry>({
    mainRow(u"PMAbout->Caption", u"About Program"),
    mainRow(u"PMExit->Caption", u"Exit"),
    // Options dialog
    mainRow(u"FormOptions->Caption", u"Options"),
    mainRow(u"FormOptions->LabelOpacity->Caption", u"Opacity:"),
    mainRow(u"FormOptions->ButtonColor->Caption", u"Color"),
    mainRow(u"FormOptions->ButtonClose->Caption", u"Close"),
    mainRow(u"FormOptions->CheckBoxAutoStart->Caption", u"Start at logon"),
    // Alarm dialog; the period entries are replaced in place, so the list keeps its five entries in order
    mainRow(u"FormAlarm->Caption", u"Set Alarm"),
    mainRow(u"FormAlarm->LabelFileSound->Caption", u"Sound File:"),
    mainRow(u"FormAlarm->ButtonSelectSound->Caption", u"Select"),
    mainRow(u"FormAlarm->CheckBoxPlaySound->Caption", u"Play Sound"),
    mainRow(u"FormAlarm->ComboBoxPeriod->Items->Strings[0]", u"minute"),
    mainRow(u"FormAlarm->ComboBoxPeriod->Items->Strings[1]", u"hour"),
    mainRow(u"FormAlarm->ComboBoxPeriod->Items->Strings[2]", u"day"),
    mainRow(u"FormAlarm->ComboBoxPeriod->Items->Strings[3]", u"week"),
    mainRow(u"FormAlarm->ComboBoxPeriod->Items->Strings[4]", u"month"),
    mainRow(u"FormAlarm->RadioButtonIn->Caption", u"In"),
    mainRow(u"FormAlarm->RadioButtonAt->Caption", u"At"),
    mainRow(u"FormAlarm->CheckBoxAlarm->Caption", u"Enable Alarm"),
    mainRow(u"FormAlarm->OpenDialog1->Filter",
            u"All Supported Files (*.wav;*.mp3)|*.wav;*.mp3|WAV Files (*.wav)|*.wav|MP3 Files (*.mp3)|*.mp3"),
    // A message of the dialog, kept in a property of the form as the file chooser's filter is
    mainRow(u"FormAlarm->MessageTimePassed->Text", u"The alarm time has already passed"),
    // About box
    mainRow(u"AboutBox->Caption", u"About Program"),
    mainRow(u"AboutBox->LabelAbout->Caption", u"place stickies on screen"),
    mainRow(u"AboutBox->LabelAuthor->Caption", u"The Quillet developers"),
    mainRow(u"AboutBox->LabelSite->Caption", u"https://www.gnu.org/licenses/gpl-3.0.html"),
    // Find window; its field's hint is kept in a property of the form, as the alarm dialog's message is
    mainRow(u"FormFind->Caption", u"Find Note"),
    mainRow(u"FormFind->Hint->Text", u"Words in the title or text"),
    mainRow(u"FormFind->LabelNoNotes->Caption", u"No notes found"),
    // Note window context menu
    noteRow(u"FormSticky->PMUndo->Caption", u"Undo"),
    noteRow(u"FormSticky->PMCut->Caption", u"Cut"),
    noteRow(u"FormSticky->PMCopy->Caption", u"Copy"),
    noteRow(u"FormSticky->PMPaste->Caption", u"Paste"),
    noteRow(u"FormSticky->PMSelectAll->Caption", u"Select All"),
    noteRow(u"FormSticky->PMPrint->Caption", u"Print"),
    noteRow(u"FormSticky->PMSaveAs->Caption", u"Save as ..."),
    noteRow(u"FormSticky->PMWindow->Caption", u"Window"),
    noteRow(u"FormSticky->PMChangeTitle->Caption", u"Change Title"),
    noteRow(u"FormSticky->PMChangeColor->Caption", u"Change Color"),
    noteRow(u"FormSticky->PMChangeOpacity->Caption", u"Change Opacity"),
    noteRow(u"FormSticky->PMStayOnTop->Caption", u"Stay On Top"),
    noteRow(u"FormSticky->PMText->Caption", u"Text"),
    noteRow(u"FormSticky->PMFont->Caption", u"Font"),
    noteRow(u"FormSticky->PMFontSelect->Caption", u"Select ..."),
    noteRow(u"FormSticky->PMSize->Caption", u"Size"),
    noteRow(u"FormSticky->PMFontSizeMore->Caption", u"More  Ctrl +"),
    noteRow(u"FormSticky->PMFontSizeLess->Caption", u"Less   Ctrl -"),
    noteRow(u"FormSticky->PMStyle->Caption", u"Style"),
    noteRow(u"FormSticky->PMBold->Caption", u"Bold"),
    noteRow(u"FormSticky->PMItalic->Caption", u"Italic"),
    noteRow(u"FormSticky->PMUnderline->Caption", u"Underline"),
    noteRow(u"FormSticky->PMStrikeOut->Caption", u"Strike Out"),
    noteRow(u"FormSticky->PMCase->Caption", u"Case"),
    noteRow(u"FormSticky->PMUppercase->Caption", u"Uppercase"),
    noteRow(u"FormSticky->PMLowercase->Caption", u"Lowercase"),
    noteRow(u"FormSticky->PMAlignment->Caption", u"Alignment"),
    noteRow(u"FormSticky->PMAlignLeft->Caption", u"Left"),
    noteRow(u"FormSticky->PMAlignCenter->Caption", u"Center"),
    noteRow(u"FormSticky->PMAlignRight->Caption", u"Right"),
    noteRow(u"FormSticky->PMList->Caption", u"List"),
    noteRow(u"FormSticky->PMNone->Caption", u"None"),
    noteRow(u"FormSticky->PMBullets->Caption", u"Bullets"),
    noteRow(u"FormSticky->PMNumbers->Caption", u"Numbers"),
    noteRow(u"FormSticky->PMSmallLetters->Caption", u"Small Letters"),
    noteRow(u"FormSticky->PMLargeLetters->Caption", u"Large Letters"),
    noteRow(u"FormSticky->PMSmallRomanNumbers->Caption", u"Small Roman Numbers"),
    noteRow(u"FormSticky->PMLargeRomanNumbers->Caption", u"Large Roman Numbers"),
    noteRow(u"FormSticky->PMLockText->Caption", u"Lock"),
    noteRow(u"FormSticky->PMAlarm->Caption", u"Alarm"),
    // Messages of failing commands; %1 is the printer's name
    messageRow(u"Messages->NoPrinter", u"There is no printer to print to"),
    messageRow(u"Messages->PrinterCannotPrint", u"The printer %1 cannot print"),
    // A note whose text is too long to show whole refuses to be unlocked
    messageRow(u"Messages->TextTooLong", u"The text of this note is too long to be edited; it stays locked"),
    // %1 the store that could not be read, %2 the file that keeps the notes made meanwhile
    messageRow(u"Messages->NotesRecovered", u"%1 cannot be read, so the notes of this session were saved to %2"),
    // %1 the "Store Folder" of the settings, %2 the data folder that keeps the notes instead
    messageRow(u"Messages->StoreFolderNotMade", u"The folder %1 cannot be created, so the notes are kept in %2"),
    // %1 the store that another program replaced, %2 what is wrong with the file that took its place
    messageRow(u"Messages->StoreNotMerged",
               u"%1 was replaced by a file that cannot be merged yet (%2); it is merged once it is whole, and no note "
               u"is lost meanwhile"),
});

constexpr auto catalog = [] {
    std::array<Entry, beforeLanguages.size() + Languages::count + afterLanguages.size()> all{};
    auto next = std::copy(beforeLanguages.begin(), beforeLanguages.end(), all.begin());
    for (const Languages::Language &language : Languages::list)
        *next++ = mainRow(language.textKey, language.name);
    std::copy(afterLanguages.begin(), afterLanguages.end(), next);
    return all;
}();

constexpr std::size_t mainFormCount = 42;
constexpr std::size_t noteWindowCount = 40;

// entries(Group) hands out one contiguous slice per group, which holds only while the rows come grouped in
// this order.
constexpr bool allIn(std::size_t first, std::size_t end, Group group)
{
    return std::all_of(catalog.begin() + first, catalog.begin() + end,
                       [group](const Entry &entry) { return entry.group == group; });
}
static_assert(allIn(0, mainFormCount, Group::MainForm));
static_assert(allIn(mainFormCount, mainFormCount + noteWindowCount, Group::NoteWindow));
static_assert(allIn(mainFormCount + noteWindowCount, catalog.size(), Group::Message));

} // namespace

namespace TextCatalog {

std::span<const Entry> entries()
{
    return catalog;
}

std::span<const Entry> entries(Group group)
{
    const std::span<const Entry> all = catalog;
    switch (group) {
    case Group::MainForm:
        return all.first(mainFormCount);
    case Group::NoteWindow:
        return all.subspan(mainFormCount, noteWindowCount);
    case Group::Message:
        break;
    }
    return all.subspan(mainFormCount + noteWindowCount);
}

const Entry *find(QStringView key)
{
    for (const Entry &entry : catalog) {
        if (key.compare(entry.key, Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

QString builtInText(QStringView key)
{
    const Entry *entry = find(key);
    if (!entry)
        qFatal("the text catalog has no key %s", qPrintable(key.toString()));
    return entry->builtInText.toString();
}

KeyPath parse(QStringView key)
{
    static constexpr QStringView forms[] = {u"FormOptions", u"FormAlarm", u"AboutBox", u"FormFind", u"FormSticky"};
    static constexpr QStringView separator = u"->";
    KeyPath path;
    QStringView rest = key;
    const qsizetype first = rest.indexOf(separator);
    if (first < 0)
        return path;
    if (std::find(std::begin(forms), std::end(forms), rest.first(first)) != std::end(forms)) {
        path.form = rest.first(first);
        rest = rest.sliced(first + separator.size());
    }
    const qsizetype next = rest.indexOf(separator);
    if (next < 0) {
        // A form's own title; a lone word with no form is no path.
        if (!path.form.isEmpty())
            path.property = rest;
        return path;
    }
    path.control = rest.first(next);
    path.property = rest.sliced(next + separator.size());

    static constexpr QStringView entryPrefix = u"Items->Strings[";
    if (path.property.startsWith(entryPrefix) && path.property.endsWith(u']')) {
        bool ok = false;
        const int index = path.property.sliced(entryPrefix.size()).chopped(1).toString().toInt(&ok);
        if (ok && index >= 0)
            path.index = index;
    }
    return path;
}

} // namespace TextCatalog
