#include "platform/audio/multimedia_player.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

static_assert(int(QMediaPlayer::ResourceError) == AudioPlayer::ResourceError &&
              int(QMediaPlayer::FormatError) == AudioPlayer::FormatError);

namespace {

AudioPlayer::Status statusOf(QMediaPlayer::MediaStatus status)
{
    switch (status) {
    case QMediaPlayer::NoMedia:
        return AudioPlayer::Status::NoMedia;
    case QMediaPlayer::LoadingMedia:
        return AudioPlayer::Status::Loading;
    case QMediaPlayer::EndOfMedia:
        return AudioPlayer::Status::Ended;
    case QMediaPlayer::InvalidMedia:
        return AudioPlayer::Status::Invalid;
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::StalledMedia:
    case QMediaPlayer::BufferingMedia:
    case QMediaPlayer::BufferedMedia:
        break;
    }
    return AudioPlayer::Status::Loaded;
}

} // namespace

MultimediaPlayer::MultimediaPlayer(QObject *parent)
    : AudioPlayer(parent)
    , m_player(new QMediaPlayer(this))
{
    m_player->setAudioOutput(new QAudioOutput(m_player));
}

void MultimediaPlayer::load(const QString &absolutePath, StatusHandler statusChanged, ErrorHandler failed)
{
    // Connected with this player as the context, so that detach() ends them all at once, also from inside one.
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
            [statusChanged](QMediaPlayer::MediaStatus status) { statusChanged(statusOf(status)); });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [failed](QMediaPlayer::Error error, const QString &text) { failed(int(error), text); });
    m_player->setSource(QUrl::fromLocalFile(absolutePath));
}

void MultimediaPlayer::detach()
{
    m_player->disconnect(this);
}

void MultimediaPlayer::play()
{
    m_player->play();
}

void MultimediaPlayer::stop()
{
    m_player->stop();
}

void MultimediaPlayer::pause()
{
    m_player->pause();
}

AudioPlayer::State MultimediaPlayer::state() const
{
    switch (m_player->playbackState()) {
    case QMediaPlayer::PlayingState:
        return State::Playing;
    case QMediaPlayer::PausedState:
        return State::Paused;
    case QMediaPlayer::StoppedState:
        break;
    }
    return State::Stopped;
}

AudioPlayer::Status MultimediaPlayer::status() const
{
    return statusOf(m_player->mediaStatus());
}

qint64 MultimediaPlayer::positionMs() const
{
    return m_player->position();
}

extern "C" Q_DECL_EXPORT AudioPlayer *quilletCreateAudioPlayer(QObject *parent)
{
    return new MultimediaPlayer(parent);
}
