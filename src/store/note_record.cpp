#include "store/note_record.h"

#include "base/app_error.h"
#include "store/color_text.h"
#include "store/profile.h"

#include <variant>

namespace {

// A field of the record, reached through the record: most are its members, the alarm's lie one level down.
template <typename T> using Field = const T &(*)(const NoteRecord &);

// The field of a record being read, which is the reader's own and may be changed.
template <typename T> T &in(NoteRecord &note, Field<T> field)
{
    return const_cast<T &>(field(note));
}

struct Key {
    QStringView name;
    std::variant<Field<QString>, Field<int>, Field<bool>, Field<quint32>> field;
};

// The keys in the order they are written, each with the field it fills. A "Color" is a colour text, every
// other quint32 would be one too.
const Key keys[] = {
    {u"Title", Field<QString>([](const NoteRecord &r) -> const QString & { return r.title; })},
    {u"Left", Field<int>([](const NoteRecord &r) -> const int & { return r.left; })},
    {u"Top", Field<int>([](const NoteRecord &r) -> const int & { return r.top; })},
    {u"Width", Field<int>([](const NoteRecord &r) -> const int & { return r.width; })},
    {u"Height", Field<int>([](const NoteRecord &r) -> const int & { return r.height; })},
    {u"Opacity", Field<int>([](const NoteRecord &r) -> const int & { return r.opacity; })},
    {u"Color", Field<quint32>([](const NoteRecord &r) -> const quint32 & { return r.color; })},
    {u"Stay On Top", Field<bool>([](const NoteRecord &r) -> const bool & { return r.stayOnTop; })},
    {u"Lock Text", Field<bool>([](const NoteRecord &r) -> const bool & { return r.lockText; })},
    {u"Alarm", Field<bool>([](const NoteRecord &r) -> const bool & { return r.alarm.enabled; })},
    {u"Countdown", Field<bool>([](const NoteRecord &r) -> const bool & { return r.alarm.countdown; })},
    {u"CountStart", Field<int>([](const NoteRecord &r) -> const int & { return r.alarm.countStart; })},
    {u"Period", Field<int>([](const NoteRecord &r) -> const int & { return r.alarm.period; })},
    {u"Date", Field<QString>([](const NoteRecord &r) -> const QString & { return r.alarm.date; })},
    {u"Time", Field<QString>([](const NoteRecord &r) -> const QString & { return r.alarm.time; })},
    {u"Play Sound", Field<bool>([](const NoteRecord &r) -> const bool & { return r.alarm.playSound; })},
    {u"Sound File", Field<QString>([](const NoteRecord &r) -> const QString & { return r.alarm.soundFile; })},
    {u"Text", Field<QString>([](const NoteRecord &r) -> const QString & { return r.text; })},
};

const QString dueKey = QStringLiteral("Due");
const QString idKey = QStringLiteral("Id");
const QString revisionKey = QStringLiteral("Revision");

template <typename... Ts> struct Overloaded : Ts... {
    using Ts::operator()...;
};
// Clang 14 does not deduce aggregate bases on its own yet.
template <typename... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

} // namespace

NoteRecord NoteRecord::read(const Profile &profile, const QString &section, const NoteDefaults &defaults,
                            QString *colorError)
{
    // Every key starts at its default, and a key that reads keeps what it read.
    NoteRecord note;
    note.width = defaults.width;
    note.height = defaults.height;
    note.opacity = defaults.opacity;
    note.color = defaults.color;
    note.alarm.soundFile = defaults.soundFile;
    for (const Key &key : keys) {
        if (!profile.hasKey(section, key.name))
            continue;
        std::visit(Overloaded{
                       [&](Field<QString> f) { in(note, f) = profile.readString(section, key.name); },
                       [&](Field<int> f) { in(note, f) = profile.readInteger(section, key.name, f(note)); },
                       [&](Field<bool> f) { in(note, f) = profile.readBool(section, key.name, f(note)); },
                       [&](Field<quint32> f) {
                           // An unreadable colour costs the note its colour only; the caller shows the
                           // message, and the rest of the note (and every other note) is still read, so
                           // the next save loses nothing.
                           try {
                               in(note, f) = ColorText::toColor(profile.readString(section, key.name));
                           } catch (const AppError &error) {
                               if (colorError)
                                   *colorError = error.message();
                           }
                       },
                   },
                   key.field);
    }
    // A "Due" that is no time is as if it were missing: the countdown starts afresh.
    const QDateTime due = QDateTime::fromString(profile.readString(section, dueKey), Qt::ISODate);
    if (due.isValid() && due.timeSpec() == Qt::UTC)
        note.due = due;
    note.id = profile.readString(section, idKey);
    note.revision = profile.readString(section, revisionKey);
    return note;
}

void NoteRecord::write(Profile &profile, const QString &section) const
{
    const NoteRecord &note = *this;
    for (const Key &key : keys) {
        std::visit(Overloaded{
                       [&](Field<QString> f) { profile.writeString(section, key.name, f(note)); },
                       [&](Field<int> f) { profile.writeInteger(section, key.name, f(note)); },
                       [&](Field<bool> f) { profile.writeBool(section, key.name, f(note)); },
                       [&](Field<quint32> f) { profile.writeString(section, key.name, ColorText::fromColor(f(note))); },
                   },
                   key.field);
    }
    if (due.isValid())
        profile.writeString(section, dueKey, due.toUTC().toString(Qt::ISODate));
    if (!id.isEmpty())
        profile.writeString(section, idKey, id);
    if (!revision.isEmpty())
        profile.writeString(section, revisionKey, revision);
}
