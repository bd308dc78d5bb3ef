#include "platform/media.h"

#include <QAudioOutput>
#include <QEventLoop>
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

    QEventLoop loop;
    bool loaded = false;
    bool done = false;
    const auto finish = [&](bool ok) {
        loaded = ok;
        done = true;
        loop.quit();
    };
    const QMetaObject::Connection statusWait =
        connect(m_player, &QMediaPlayer::mediaStatusChanged, &loop, [&](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::LoadedMedia)
                finish(true);
            else if (status == QMediaPlayer::InvalidMedia)
                finish(false);
        });
    const QMetaObject::Connection errorWait =
        connect(m_player, &QMediaPlayer::errorOccurred, &loop, [&](QMediaPlayer::Error error, const QString &text) {
            setError(error, text);
            finish(false);
        });

    m_player->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    if (m_player->mediaStatus() == QMediaPlayer::LoadedMedia)
        finish(true);
    if (!done) {
        // The back end loads in the background and reports through the event loop. User input waits meanwhile,
        // so no click can act on a player that is half open.
        QTimer::singleShot(openTimeoutMs, &loop, [&] { finish(false); });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    disconnect(statusWait);
    disconnect(errorWait);

    if (!loaded) {
        if (m_errorCode == 0 && m_player->error() != QMediaPlayer::NoError)
            setError(m_player->error(), m_player->errorString());
        if (m_errorCode == 0)
            setError(QMediaPlayer::FormatError, QStringLiteral("The file %1 cannot be played").arg(path));
        close();
        return false;
    }

    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this, generation](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia)
            deliver(generation, [this] { emit endReached(); });
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this, generation](QMediaPlayer::Error error, const QString &text) {
                setError(error, text);
                deliver(generation, [this, error, text] { emit failed(error, text); });
            });
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
