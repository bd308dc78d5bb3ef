#include "app/note_record.h"

#include "app/color_text.h"
#include "platform/app_error.h"
#include "platform/profile.h"

NoteRecord NoteRecord::read(const Profile &profile, const QString &section, const NoteDefaults &defaults,
                            QString *colorError)
{
    NoteRecord note;
    note.title = profile.readString(section, u"Title");
    note.left = profile.readInteger(section, u"Left", 0);
    note.top = profile.readInteger(section, u"Top", 0);
    note.width = profile.readInteger(section, u"Width", defaults.width);
    note.height = profile.readInteger(section, u"Height", defaults.height);
    note.opacity = profile.readInteger(section, u"Opacity", defaults.opacity);

    note.color = defaults.color;
    if (profile.hasKey(section, u"Color")) {
        // An unreadable colour costs the note its colour only; the caller shows the message, and the
        // rest of the note (and every other note) is still read, so the next save loses nothing.
        try {
            note.color = ColorText::toColor(profile.readString(section, u"Color"));
        } catch (const AppError &error) {
            if (colorError)
                *colorError = error.message();
        }
    }

    note.stayOnTop = profile.readBool(section, u"Stay On Top", false);
    note.lockText = profile.readBool(section, u"Lock Text", false);
    note.alarm = profile.readBool(section, u"Alarm", false);
    note.countdown = profile.readBool(section, u"Countdown", true);
    note.countStart = profile.readInteger(section, u"CountStart", 1);
    note.period = profile.readInteger(section, u"Period", 0);
    note.date = profile.readString(section, u"Date");
    note.time = profile.readString(section, u"Time");
    note.playSound = profile.readBool(section, u"Play Sound", false);
    note.soundFile = profile.readString(section, u"Sound File", defaults.soundFile);
    note.text = profile.readString(section, u"Text");
    return note;
}

void NoteRecord::write(Profile &profile, const QString &section) const
{
    profile.writeString(section, u"Title", title);
    profile.writeInteger(section, u"Left", left);
    profile.writeInteger(section, u"Top", top);
    profile.writeInteger(section, u"Width", width);
    profile.writeInteger(section, u"Height", height);
    profile.writeInteger(section, u"Opacity", opacity);
    profile.writeString(section, u"Color", ColorText::fromColor(color));
    profile.writeBool(section, u"Stay On Top", stayOnTop);
    profile.writeBool(section, u"Lock Text", lockText);
    profile.writeBool(section, u"Alarm", alarm);
    profile.writeBool(section, u"Countdown", countdown);
    profile.writeInteger(section, u"CountStart", countStart);
    profile.writeInteger(section, u"Period", period);
    profile.writeString(section, u"Date", date);
    profile.writeString(section, u"Time", time);
    profile.writeBool(section, u"Play Sound", playSound);
    profile.writeString(section, u"Sound File", soundFile);
    profile.writeString(section, u"Text", text);
}
