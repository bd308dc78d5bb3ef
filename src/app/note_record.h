#pragma once

#include <QString>

class Profile;

// What a note falls back to for keys its section lacks: the options' defaults and the size and sound
// file of a newly constructed note window.
struct NoteDefaults {
    int width = 240;
    int height = 180;
    int opacity = 255;
    quint32 color = 0x00C0FFFF;
    QString soundFile;
};

// The eighteen persisted properties of one note, in the order they are written.
struct NoteRecord {
    QString title;
    int left = 0;
    int top = 0;
    int width = 240;
    int height = 180;
    int opacity = 255;
    quint32 color = 0x00C0FFFF;
    bool stayOnTop = false;
    bool lockText = false;
    bool alarm = false;
    bool countdown = true;
    int countStart = 1;
    int period = 0;
    QString date;
    QString time;
    bool playSound = false;
    QString soundFile;
    QString text; // the note's text as one-line RTF (or plain text from a hand-edited file)

    bool operator==(const NoteRecord &) const = default;

    // Reads a note section. Missing keys take their defaults; integers and booleans that are no
    // number take their defaults. A "Color" that is present but is neither a colour name nor an
    // integer gives defaults.color, and its error message ("'<text>' is not a valid integer value")
    // goes to *colorError when given; the rest of the record is read all the same.
    static NoteRecord read(const Profile &profile, const QString &section, const NoteDefaults &defaults,
                           QString *colorError = nullptr);
    // Writes the eighteen keys in their fixed order into section.
    void write(Profile &profile, const QString &section) const;
};
