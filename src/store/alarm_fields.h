#pragma once

#include <QString>

// The alarm of one note as it is stored: whether it is on, how it fires (after a countdown of CountStart
// periods, or at a date and time), and what it plays.
struct AlarmFields {
    bool enabled = false;   // "Alarm"
    bool countdown = true;  // "Countdown": a countdown when true, a date and time when false
    int countStart = 1;     // "CountStart": the number of periods to count down
    int period = 0;         // "Period": 0 minute, 1 hour, 2 day, 3 week, 4 month
    QString date;           // "Date": the short date text of an alarm at a date
    QString time;           // "Time": its time, "HH:MM"
    bool playSound = false; // "Play Sound"
    QString soundFile;      // "Sound File"

    bool operator==(const AlarmFields &) const = default;
};
