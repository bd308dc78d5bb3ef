#pragma once

#include <QObject>
#include <QString>

#include <functional>

class AudioPlayer;

// The sound device under the MP3 player: one file opened on the desktop's default audio output, played from
// the current position to its end, with the end reported on the UI thread. Nothing waits: the file loads in
// the background (play() before that starts it once loaded), and a file that turns out unplayable is
// reported by failed().
class Media : public QObject {
    Q_OBJECT

public:
    enum class Mode { Closed, NotReady, Stopped, Playing, Paused };

    explicit Media(QObject *parent = nullptr);
    ~Media() override;

    // Closes any open file, then starts loading path and returns at once. False when there is no such file or
    // the audio module cannot be loaded; errorCode() and errorText() then tell why, and the device stays closed. A file
    // that cannot be played, or is still not loaded after openTimeoutMs, is reported by failed() later and closes the
    // device.
    bool open(const QString &path);
    // Stops playback and releases the device; no signal of the file played comes after this.
    void close();
    bool isOpen() const { return m_player != nullptr; }

    // Each does nothing while closed.
    void play();
    void stop();
    void pause();
    void resume();

    Mode mode() const;
    // The play position in milliseconds; 0 while closed.
    qint64 positionMs() const;

    int errorCode() const { return m_errorCode; }
    const QString &errorText() const { return m_errorText; }

    static constexpr int openTimeoutMs = 10000;

signals:
    // Playback reached the end of the file. Delivered from the event loop, never from inside a call of this
    // class, and only for the file still open.
    void endReached();
    // Loading or playback failed after open() (no audio in the file, the audio server went away, the data broke
    // off, ...). Delivered like endReached().
    void failed(int code, const QString &text);

private:
    void setError(int code, const QString &text);
    void deliver(quint64 generation, const std::function<void()> &emitSignal);

    AudioPlayer *m_player = nullptr;
    // Counts the files opened, so that events queued for a file already closed are dropped.
    quint64 m_generation = 0;
    int m_errorCode = 0;
    QString m_errorText;
};
