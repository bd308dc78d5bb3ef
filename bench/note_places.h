#pragma once

// What the notes of the start-up comparison look like: the store that the program reads and the bare program it
// is measured against give every window the same title, place, size and text.
#include <QPoint>
#include <QSize>
#include <QString>

namespace NotePlaces {

inline QString title(int i)
{
    return QStringLiteral("Note %1").arg(i + 1);
}

// Distinct for the first 900 notes, and on a 1280x1024 screen with the frame.
inline QPoint place(int i)
{
    return {20 + (i * 37) % 900, 40 + (i * 53) % 600};
}

inline constexpr QSize size(240, 180);

// The line of a note: plain words, then bold ones.
inline QString plainWords(int i)
{
    return QStringLiteral("Buy milk, call %1, ").arg(i);
}
inline QString boldWords()
{
    return QStringLiteral("water the plants");
}

} // namespace NotePlaces
