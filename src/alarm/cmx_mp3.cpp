#include "alarm/cmx_mp3.h"

#include "alarm/e_mci_device_error.h"
#include "platform/gui/media.h"
#include "platform/gui/mp3_length.h"

#include <QFile>
#include <QFileInfo>

TcmxMP3::TcmxMP3(const QString &fileName)
    : m_fileName(fileName)
    , m_tag(TcmxID3::read(fileName))
    , m_media(std::make_unique<Media>())
{
    // The length comes from the file, not from the device: it needs no audio output and is exact for VBR files.
    const Mp3Length length = Mp3Length::measure(fileName);
    if (!length.ok())
        throw eMciDeviceError(length.error, length.errorText);
    m_lengthInSeconds = int(length.milliseconds / 1000);

    QObject::connect(m_media.get(), &Media::endReached, m_media.get(), [this] { mciNotifyEvent(); });
    // A failure after the start ends the playback like Stop does; the owner learns of it by the event.
    QObject::connect(m_media.get(), &Media::failed, m_media.get(), [this](int code, const QString &text) {
        Stop();
        if (OnPlayError)
            OnPlayError(this, eMciDeviceError(code, text).message());
    });
    QObject::connect(&m_progressTimer, &QTimer::timeout, &m_progressTimer, [this] { OnProgressTimer(); });
}

TcmxMP3::~TcmxMP3() = default;

void TcmxMP3::Play()
{
    if (!m_media->isOpen())
        mciOpen();
    if (getState() == mpPlaying) {
        // Playing from the current position would go on where it is; the device is reopened to start over.
        Stop();
        mciOpen();
    }
    m_media->play();
    if (OnProgress) {
        // The first report comes at once, the next ones every second.
        m_progressTimer.setInterval(0);
        m_progressTimer.start();
    }
}

void TcmxMP3::Stop()
{
    if (!m_media->isOpen())
        return;
    m_media->stop();
    m_progressTimer.stop();
    mciClose();
}

void TcmxMP3::Pause()
{
    if (getState() != mpPlaying)
        return;
    m_media->pause();
    m_progressTimer.stop();
}

void TcmxMP3::Resume()
{
    if (getState() != mpPaused)
        return;
    m_media->resume();
    if (OnProgress) {
        m_progressTimer.setInterval(1000);
        m_progressTimer.start();
    }
}

TMPMode TcmxMP3::getState() const
{
    switch (m_media->mode()) {
    case Media::Mode::NotReady:
        return mpNotReady;
    case Media::Mode::Stopped:
        return mpStopped;
    case Media::Mode::Playing:
        return mpPlaying;
    case Media::Mode::Paused:
        return mpPaused;
    case Media::Mode::Closed:
        break;
    }
    return mpUnknown;
}

QString TcmxMP3::getFileName() const
{
    return QFileInfo(m_fileName).completeBaseName();
}

QString TcmxMP3::getFilePath() const
{
    const qsizetype slash = m_fileName.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : m_fileName.left(slash + 1);
}

void TcmxMP3::ChgID3(const QString &title, const QString &artist, const QString &album, const QString &comment,
                     int year, quint8 track, quint8 genre)
{
    TcmxID3::fromFields(title, artist, album, comment, year, track, genre).write(m_fileName);
}

bool TcmxMP3::ChgFilePath(const QString &newFolder, const QString &newName)
{
    QString path = newFolder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += newName + QStringLiteral(".mp3");
    if (!QFile::rename(m_fileName, path))
        return false;
    m_fileName = path;
    return true;
}

void TcmxMP3::mciOpen()
{
    if (!m_media->open(m_fileName))
        throw eMciDeviceError(m_media->errorCode(), m_media->errorText());
}

void TcmxMP3::mciClose()
{
    m_media->close();
}

void TcmxMP3::mciNotifyEvent()
{
    // The end of the file closes the device first, so the handler may play the file again.
    Stop();
    if (OnPlayEnd)
        OnPlayEnd(this);
}

void TcmxMP3::OnProgressTimer()
{
    m_progressTimer.setInterval(1000);
    if (OnProgress)
        OnProgress(this, int(m_media->positionMs() / 1000));
}
