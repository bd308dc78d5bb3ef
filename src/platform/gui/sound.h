#pragma once

#include <QString>

#include <functional>

// Plays a WAV file once, in the background, on the desktop's default audio output. A file that cannot be
// played gives the desktop's beep instead. Nothing stops a sound once started; each player is released when
// its sound has ended or failed.
class Sound {
public:
    // Returns at once; the sound starts shortly after, from the event loop.
    static void play(const QString &path);
    // Sounds started and not yet released.
    static int activeCount();
    // Replaces the desktop's beep (QApplication::beep); an empty function restores it. For tests.
    static void setBeep(std::function<void()> beep);
};
