#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Note;
class NoteList;

// Finding notes by the words typed: a note matches when each word is in its title or in its text, in any
// letter case ("Été" finds "été"), but with accents as typed ("e" does not find "é"). Hidden notes are notes
// like the others.
class NoteSearch {
public:
    // A match in a text: where it begins and how long it is.
    struct Match {
        qsizetype position = -1;
        qsizetype length = 0;
        bool isValid() const { return position >= 0; }
    };

    // The words of what was typed, split at white space.
    static QStringList words(const QString &query);
    static bool matches(const QStringList &words, const QString &title, const QString &text);
    // The note's matching notes in list order; no words match every note.
    static QList<Note *> find(const NoteList &list, const QString &query);
    // The first place in text where any of the words is; none when no word is in it.
    static Match firstMatch(const QStringList &words, const QString &text);
    // The first line of a text that has any words in it, for a list of notes.
    static QString firstLine(const QString &text);
};
