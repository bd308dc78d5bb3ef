#pragma once

#include <QString>

#include <functional>

class TcmxMP3;

// The sounds alarms start, program-wide. A WAV file plays once to its end; an MP3 file gets a player of its
// own, and the latest of them is the alarm player, the one a press in a ringing note stops. Players that
// reached the end or were stopped are released.
namespace AlarmSound {

// The sound kind of a file: its extension, dot included, in lower case ("" when it has none).
QString kindOf(const QString &path);
// Starts path by its kind and returns at once: a ringing note waits for no file. A file the MP3 player cannot
// play ("Cannot open file %s", "%d - %s") is handed to failed, always later, from the event loop, whether
// found at once or once the file loaded; a player that fails is no alarm player.
void start(const QString &path, const std::function<void(const QString &message)> &failed);
// Stops the alarm player, when there is one.
void stopAlarmPlayer();
// The alarm player, or nullptr; and how many MP3 players are alive (for tests).
TcmxMP3 *alarmPlayer();
int playerCount();

} // namespace AlarmSound
