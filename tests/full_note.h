#pragma once

#include "store/note_record.h"

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
    note.alarm.enabled = true;
    note.alarm.countdown = false;
    note.alarm.countStart = 15;
    note.alarm.period = 3;
    note.alarm.date = QStringLiteral("24/12/2025");
    note.alarm.time = QStringLiteral("18:30:00");
    note.alarm.playSound = true;
    note.alarm.soundFile = QStringLiteral("/home/me/My Sounds/bell.wav");
    note.text = QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 milk\\par eggs \\'e9\\par}");
    return note;
}
