#pragma once

#include "platform/gui/audio_player.h"

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

// The audio player on GStreamer's playbin, audio only, on the desktop's default output. playbin links its
// decoder to the output inside its own threads: a player that linked them from the application, racing the
// seek to the start that a new source gets, could leave both threads waiting on each other for good.
// The bus is read on the UI thread: its messages are handed over as queued calls.
class GStreamerPlayer final : public AudioPlayer {
public:
    explicit GStreamerPlayer(QObject *parent);
    ~GStreamerPlayer() override;

    void load(const QString &absolutePath, StatusHandler statusChanged, ErrorHandler failed) override;
    void detach() override;
    void play() override;
    void stop() override;
    void pause() override;
    State state() const override;
    Status status() const override;
    qint64 positionMs() const override;

    // A message of the pipeline's bus, on the UI thread.
    void handleMessage(GstMessage *message);

    struct BusLink;

private:
    void fail(int code, const QString &text);
    void setStatus(Status status);

    GstElement *m_pipeline = nullptr;
    GstElement *m_output = nullptr; // the pipeline's
    QString m_outputWarning;
    BusLink *m_link = nullptr; // owned by the bus
    State m_state = State::Stopped;
    Status m_status = Status::NoMedia;
    mutable qint64 m_positionMs = 0;
    StatusHandler m_statusChanged;
    ErrorHandler m_failed;
};
