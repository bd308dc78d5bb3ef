#pragma once

#include <QObject>
#include <QString>

#include <functional>

// One sound file played on the desktop's default audio output, as the audio module makes it (AudioModule):
// Media and Sound work through this, so that the sound libraries are loaded only once a sound is played.
// Everything runs on the UI thread. The player is a QObject so that its owner may give it a parent, guard it
// and delete it later; it declares no signals, since it is made by a library that is loaded at run time.
class AudioPlayer : public QObject {
public:
    enum class Status { NoMedia, Loading, Loaded, Ended, Invalid };
    enum class State { Stopped, Playing, Paused };
    // The sound library's own codes for what the fronts find themselves, so that a message shows the same
    // number whichever side found the fault.
    enum Error { ResourceError = 1, FormatError = 2 };

    using StatusHandler = std::function<void(Status status)>;
    using ErrorHandler = std::function<void(int code, const QString &text)>;

    using QObject::QObject;

    // Starts loading the file and returns at once; the handlers hear of it, possibly from inside this call or
    // another of this player, until detach().
    virtual void load(const QString &absolutePath, StatusHandler statusChanged, ErrorHandler failed) = 0;
    // No handler is called after this.
    virtual void detach() = 0;

    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;

    virtual State state() const = 0;
    virtual Status status() const = 0;
    virtual qint64 positionMs() const = 0;
};

// What the audio module exports, under the name audioPlayerFactorySymbol: a new player, child of parent.
using AudioPlayerFactory = AudioPlayer *(*)(QObject *parent);
inline constexpr char audioPlayerFactorySymbol[] = "quilletCreateAudioPlayer";
