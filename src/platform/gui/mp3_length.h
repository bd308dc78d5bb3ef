#pragma once

#include <QString>

// The play length of an MP3 file, measured from the file itself: every frame header is read, so the result is
// exact for constant and variable bit rates, and an encoder's gapless information is honoured. A 50 MB file
// takes a few tenths of a second.
struct Mp3Length {
    qint64 milliseconds = 0;
    // 0 when measured; otherwise the decoder's error code (MP3 data not found, file not readable, ...).
    int error = 0;
    QString errorText;

    bool ok() const { return error == 0; }

    // Loads the audio module, which measures, the first time; a module that cannot be loaded is an error too.
    static Mp3Length measure(const QString &path);
};

// The audio module's function behind measure().
using Mp3Measure = Mp3Length (*)(const QString &path);
inline constexpr char mp3MeasureSymbol[] = "quilletMeasureMp3";
