#include "platform/gui/media.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

Media::Media(QObject *parent)
    : QObject(parent)
{}

Media::~Media()
{
    close();
}

bool Media::open(const QString &path)
{
    close();
    m_errorCode = 0;
    m_errorText.clear();
    if (!QFileInfo(path).isFile()) {
        setError(QMediaPlayer::ResourceError, QStringLiteral("The file %1 cannot be found").arg(path));
        return false;
    }

    // A player of its own for each file: stopping one leaves nothing behind that could report later.
    m_player = new QMediaPlayer(this);
    m_player->setAudioOutput(new QAudioOutput(m_player));
    const quint64 generation = ++m_generation;
    const auto fail = [this, generation](int code, const QString &text) {
        setError(code, text);
        deliver(generation, [this, code, text] {
            close();
            emit failed(code, text);
        });
    };
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
            [this, generation, path, fail](QMediaPlayer::MediaStatus status) {
                if (status == QMediaPlayer::EndOfMedia)
                    deliver(generation, [this] { emit endReached(); });
                else if (status == QMediaPlayer::InvalidMedia && m_errorCode == 0)
                    fail(QMediaPlayer::FormatError, QStringLiteral("The file %1 cannot be played").arg(path));
            });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [fail](QMediaPlayer::Error error, const QString &text) { fail(error, text); });
    // A back end that never finishes loading would leave the device open and silent for good.
    QTimer::singleShot(openTimeoutMs, m_player, [this, path, fail] {
        if (m_player && m_player->mediaStatus() == QMediaPlayer::LoadingMedia)
            fail(QMediaPlayer::ResourceError, QStringLiteral("The file %1 did not load").arg(path));
    });
    m_player->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return true;
}

void Media::close()
{
    if (!m_player)
        return;
    m_player->disconnect(this);
    m_player->stop();
    // The back end may still be inside a call of this player, so it goes when control is back in the event loop.
    m_player->deleteLater();
    m_player = nullptr;
}

void Media::play()
{
    if (m_player)
        m_player->play();
}

void Media::stop()
{
    if (m_player)
        m_player->stop();
}

void Media::pause()
{
    if (m_player)
        m_player->pause();
}

void Media::resume()
{
    if (m_player && m_player->playbackState() == QMediaPlayer::PausedState)
        m_player->play();
}

Media::Mode Media::mode() const
{
    if (!m_player)
        return Mode::Closed;
    switch (m_player->playbackState()) {
    case QMediaPlayer::PlayingState:
        return Mode::Playing;
    case QMediaPlayer::PausedState:
        return Mode::Paused;
    case QMediaPlayer::StoppedState:
        break;
    }
    const QMediaPlayer::MediaStatus status = m_player->mediaStatus();
    return status == QMediaPlayer::LoadingMedia || status == QMediaPlayer::NoMedia ? Mode::NotReady : Mode::Stopped;
}

qint64 Media::positionMs() const
{
    return m_player ? m_player->position() : 0;
}

void Media::setError(int code, const QString &text)
{
    m_errorCode = code;
    m_errorText = text;
}

void Media::deliver(quint64 generation, const std::function<void()> &emitSignal)
{
    // Queued, so that handlers (which may close or reopen this device) never run inside the back end's call.
    QMetaObject::invokeMethod(
        this,
        [this, generation, emitSignal] {
            if (m_player && generation == m_generation)
                emitSignal();
        },
        Qt::QueuedConnection);
}
