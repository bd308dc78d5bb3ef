#pragma once

#include "alarm/cmx_id3.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class Media;

// The player's state, in the order of the device modes it stands for.
enum TMPMode { mpNotReady, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen, mpUnknown };

// Time formats of the device; the player works in milliseconds only.
enum TMPTimeFormat {
    tfMilliseconds,
    tfHMS,
    tfMSF,
    tfFrames,
    tfSMPTE24,
    tfSMPTE25,
    tfSMPTE30,
    tfSMPTE30Drop,
    tfBytes,
    tfSamples,
    tfTMSF,
};

// An MP3 file and the means to play it once: the device is opened by Play and closed again by Stop, which the
// end of the file also calls. Play never waits for the device: the file loads in the background, and a failure
// found there comes as OnPlayError. Besides playing it reads and writes the file's ID3 version 1.1 tag and
// moves the file. Everything runs on the UI thread, the events included.
class TcmxMP3 {
public:
    using TcmxPlayProgress = std::function<void(TcmxMP3 *sender, int aSecs)>;
    using TNotifyEvent = std::function<void(TcmxMP3 *sender)>;
    using TErrorEvent = std::function<void(TcmxMP3 *sender, const QString &message)>;

    // Reads the tag and measures the length. Throws AppError("Cannot open file <name>") when the file cannot
    // be read, eMciDeviceError when it holds no MP3 audio.
    explicit TcmxMP3(const QString &fileName);
    virtual ~TcmxMP3();
    TcmxMP3(const TcmxMP3 &) = delete;
    TcmxMP3 &operator=(const TcmxMP3 &) = delete;

    // Opens the device when closed and plays from the current position to the end; a playing player starts
    // again from the beginning. Returns at once. Throws eMciDeviceError when the file is gone.
    void Play();
    // Stops and closes the device; OnPlayEnd is not called for this playback. Nothing while closed.
    void Stop();
    // Only while playing.
    void Pause();
    // Only while paused.
    void Resume();
    // mpUnknown while no device is open.
    TMPMode getState() const;

    // The file name without folder and extension.
    QString getFileName() const;
    // The folder of the file with its trailing separator; empty for a bare file name.
    QString getFilePath() const;
    QString getTitle() const { return m_tag.getTitle(); }
    QString getArtist() const { return m_tag.getArtist(); }
    QString getAlbum() const { return m_tag.getAlbum(); }
    QString getYear() const { return m_tag.getYear(); }
    QString getComment() const { return m_tag.getComment(); }
    quint8 getTrack() const { return m_tag.getTrack(); }
    quint8 getGenreNdx() const { return m_tag.getGenreNdx(); }
    int getLengthInSeconds() const { return m_lengthInSeconds; }

    // Writes a new tag into the file (texts cut to their fields). The getters keep returning the tag read at
    // construction. Throws AppError when the file cannot be written.
    void ChgID3(const QString &title, const QString &artist, const QString &album, const QString &comment, int year,
                quint8 track, quint8 genre);
    // Moves the file to newFolder/newName.mp3 and binds the player to it; false when the move fails (an
    // existing file of that name is never replaced).
    bool ChgFilePath(const QString &newFolder, const QString &newName);

    static int MaxGenreID() { return TcmxID3::MaxGenreID(); }
    static QString getGenreText(int index) { return TcmxID3::getGenreText(index); }

    // Called once a second while playing, from Play on, when assigned before Play.
    TcmxPlayProgress OnProgress;
    // Called once when playback has reached the end of the file, after the device has been closed.
    TNotifyEvent OnPlayEnd;
    // Called when the file could not be played after all (no audio the device reads, the audio server gone),
    // with the message of eMciDeviceError ("%d - %s"), after the device has been closed. Never inside Play.
    TErrorEvent OnPlayError;

private:
    void mciOpen();
    void mciClose();
    void mciNotifyEvent();
    void OnProgressTimer();

    QString m_fileName;
    TcmxID3 m_tag;
    int m_lengthInSeconds = 0;
    std::unique_ptr<Media> m_media;
    QTimer m_progressTimer;
};
