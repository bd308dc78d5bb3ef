#pragma once

#include "platform/gui/audio_player.h"

class QMediaPlayer;

// The audio player on Qt Multimedia: a media player with an output of its own on the default device.
class MultimediaPlayer final : public AudioPlayer {
public:
    explicit MultimediaPlayer(QObject *parent);

    void load(const QString &absolutePath, StatusHandler statusChanged, ErrorHandler failed) override;
    void detach() override;
    void play() override;
    void stop() override;
    void pause() override;
    State state() const override;
    Status status() const override;
    qint64 positionMs() const override;

private:
    QMediaPlayer *m_player;
};
