#pragma once

#include "app/note_record.h"

// A note with every field away from its default, including texts the dialect would change unprotected.
inline NoteRecord fullNote()
{
    NoteRecord note;
    note.title = QStringLiteral(" 'Shopping' list ");
    note.left = -12;
    note.top = 34;
    note.width = 321;
    note.height = 123;
    note.opacity = 128;
    note.color = 0x00C0FFFF;
    note.stayOnTop = true;
    note.lockText = true;
    note.alarm = true;
    note.countdown = false;
    note.countStart = 15;
    note.period = 3;
    note.date = QStringLiteral("24/12/2025");
    note.time = QStringLiteral("18:30:00");
    note.playSound = true;
    note.soundFile = QStringLiteral("/home/me/My Sounds/bell.wav");
    note.text = QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 milk\\par eggs \\'e9\\par}");
    return note;
}
