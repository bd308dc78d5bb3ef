#pragma once

#include "base/defaults.h"
#include "store/alarm_fields.h"

#include <QDateTime>
#include <QString>

class Profile;

// What a note falls back to for keys its section lacks: the options' defaults and the size and sound
// file of a newly constructed note window.
struct NoteDefaults {
    int width = Defaults::noteWidth;
    int height = Defaults::noteHeight;
    int opacity = Defaults::opacity;
    quint32 color = Defaults::noteColor;
    QString soundFile;
};

// The eighteen persisted properties of one note, in the order they are written.
struct NoteRecord {
    QString title;
    int left = 0;
    int top = 0;
    int width = Defaults::noteWidth;
    int height = Defaults::noteHeight;
    int opacity = Defaults::opacity;
    quint32 color = Defaults::noteColor;
    bool stayOnTop = false;
    bool lockText = false;
    AlarmFields alarm; // "Alarm" to "Sound File"
    QString text;      // the note's text as one-line RTF (or plain text from a hand-edited file)
    // When an armed countdown is due (UTC), so that a restart resumes it: the key "Due" after "Text",
    // written only for an armed countdown; the other notes keep exactly the eighteen keys.
    QDateTime due;
    // What lets two machines that share the store tell their notes apart and see who changed which: "Id"
    // names the note for good, whatever its section number, and "Revision" counts the changes each machine
    // made to it (see Revision). Written after "Due" when known; the older program passes over them.
    QString id;
    QString revision;

    bool operator==(const NoteRecord &) const = default;

    // Reads a note section. Missing keys take their defaults; integers and booleans that are no
    // number take their defaults. A "Color" that is present but is neither a colour name nor an
    // integer gives defaults.color, and its error message ("'<text>' is not a valid integer value")
    // goes to *colorError when given; the rest of the record is read all the same.
    static NoteRecord read(const Profile &profile, const QString &section, const NoteDefaults &defaults,
                           QString *colorError = nullptr);
    // Writes the eighteen keys in their fixed order into section, "Due" after them when it is valid, then
    // "Id" and "Revision" when known.
    void write(Profile &profile, const QString &section) const;
};
