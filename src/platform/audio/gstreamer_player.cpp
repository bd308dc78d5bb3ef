#include "platform/audio/gstreamer_player.h"

#include <QMutex>
#include <QUrl>

#include <gst/gst.h>

// What the bus's handler, which runs on GStreamer's threads, knows of the player: nothing once it is gone.
struct GStreamerPlayer::BusLink {
    QMutex mutex;
    GStreamerPlayer *player = nullptr;
};

namespace {

// playbin's flag for the audio stream alone: no video or subtitle sinks are made for a sound file.
constexpr guint playAudioOnly = 1u << 1;

bool initialised(QString *errorText)
{
    static QString error;
    static const bool ok = [] {
        GError *gerror = nullptr;
        if (gst_init_check(nullptr, nullptr, &gerror))
            return true;
        error = gerror ? QString::fromUtf8(gerror->message) : QStringLiteral("GStreamer cannot be initialised");
        g_clear_error(&gerror);
        return false;
    }();
    *errorText = error;
    return ok;
}

GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer data)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_WARNING:
    case GST_MESSAGE_ASYNC_DONE:
        break;
    default:
        return GST_BUS_DROP;
    }
    auto *link = static_cast<GStreamerPlayer::BusLink *>(data);
    const QMutexLocker locker(&link->mutex);
    if (GStreamerPlayer *player = link->player) {
        // The message travels with the call and is released with it, also when the player is deleted first.
        const std::shared_ptr<GstMessage> held(gst_message_ref(message), gst_message_unref);
        QMetaObject::invokeMethod(
            player, [player, held] { player->handleMessage(held.get()); }, Qt::QueuedConnection);
    }
    return GST_BUS_DROP;
}

// The output chooses the desktop's audio server, else the sound card; where it can open neither it plays into
// a fake sink, in silence and in time, which would pass for a sound played.
bool playsIntoNothing(GstElement *output)
{
    if (!output || !GST_IS_BIN(output))
        return false;
    bool fake = false;
    GstIterator *children = gst_bin_iterate_sinks(GST_BIN(output));
    GValue child = G_VALUE_INIT;
    while (!fake && gst_iterator_next(children, &child) == GST_ITERATOR_OK) {
        fake = qstrcmp(G_OBJECT_TYPE_NAME(g_value_get_object(&child)), "GstFakeSink") == 0;
        g_value_reset(&child);
    }
    g_value_unset(&child);
    gst_iterator_free(children);
    return fake;
}

// The text of an error or a warning; code, where asked for, the player's code for its kind.
QString errorText(GstMessage *message, int *code = nullptr)
{
    GError *error = nullptr;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        gst_message_parse_error(message, &error, nullptr);
    else
        gst_message_parse_warning(message, &error, nullptr);
    // A file that is not found or not read, or an output that does not open, is a resource's fault; anything
    // else (no known format, a stream that does not decode, a missing decoder) the file's.
    if (code)
        *code = error && error->domain == GST_RESOURCE_ERROR ? AudioPlayer::ResourceError : AudioPlayer::FormatError;
    const QString text = error ? QString::fromUtf8(error->message) : QString();
    g_clear_error(&error);
    return text;
}

} // namespace

GStreamerPlayer::GStreamerPlayer(QObject *parent)
    : AudioPlayer(parent)
{}

GStreamerPlayer::~GStreamerPlayer()
{
    if (!m_pipeline)
        return;
    // Setting the pipeline to NULL ends its threads; only then can no message be on its way to this player.
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    {
        const QMutexLocker locker(&m_link->mutex);
        m_link->player = nullptr;
    }
    gst_object_unref(m_pipeline);
}

void GStreamerPlayer::load(const QString &absolutePath, StatusHandler statusChanged, ErrorHandler failed)
{
    // A player plays one file: Media and Sound make a new one for each.
    Q_ASSERT(!m_pipeline);
    m_statusChanged = std::move(statusChanged);
    m_failed = std::move(failed);
    QString errorText;
    if (!initialised(&errorText)) {
        fail(ResourceError, errorText);
        return;
    }
    m_pipeline = gst_element_factory_make("playbin", nullptr);
    if (!m_pipeline) {
        fail(ResourceError, QStringLiteral("The GStreamer element playbin is not installed"));
        return;
    }
    gst_object_ref_sink(m_pipeline);
    const QByteArray uri = QUrl::fromLocalFile(absolutePath).toEncoded();
    g_object_set(m_pipeline, "uri", uri.constData(), "flags", playAudioOnly, nullptr);
    // The output is made here, rather than by playbin, to see which one it opened.
    m_output = gst_element_factory_make("autoaudiosink", nullptr);
    if (m_output)
        g_object_set(m_pipeline, "audio-sink", m_output, nullptr);

    m_link = new BusLink;
    m_link->player = this;
    GstBus *bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, onBusMessage, m_link, [](gpointer link) { delete static_cast<BusLink *>(link); });
    gst_object_unref(bus);

    // Paused, the file is opened and its first sound decoded: a file that cannot be played says so now.
    setStatus(Status::Loading);
    if (gst_element_set_state(m_pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        fail(ResourceError, QStringLiteral("The file %1 cannot be opened for playing").arg(absolutePath));
}

void GStreamerPlayer::detach()
{
    m_statusChanged = nullptr;
    m_failed = nullptr;
}

void GStreamerPlayer::play()
{
    if (!m_pipeline || m_status == Status::Invalid)
        return;
    // After the end the pipeline is back to NULL, and playing it again starts from the beginning.
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return;
    m_state = State::Playing;
}

void GStreamerPlayer::stop()
{
    if (m_pipeline)
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
    m_state = State::Stopped;
    m_positionMs = 0;
    // A load that was stopped is not one that never ends.
    if (m_status == Status::Loading)
        m_status = Status::NoMedia;
}

void GStreamerPlayer::pause()
{
    if (!m_pipeline || m_state != State::Playing)
        return;
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    m_state = State::Paused;
}

AudioPlayer::State GStreamerPlayer::state() const
{
    return m_state;
}

AudioPlayer::Status GStreamerPlayer::status() const
{
    return m_status;
}

qint64 GStreamerPlayer::positionMs() const
{
    // Between the start and the first decoded sound there is no position yet: the last one known stands.
    gint64 position = 0;
    if (m_pipeline && m_state != State::Stopped && gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &position))
        m_positionMs = position / GST_MSECOND;
    return m_positionMs;
}

void GStreamerPlayer::handleMessage(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ASYNC_DONE: {
        // Only a pipeline that got to pause or play has its output chosen: a stopped one holds a stand-in.
        GstState current = GST_STATE_NULL;
        gst_element_get_state(m_pipeline, &current, nullptr, 0);
        if ((m_status != Status::Loading && m_status != Status::NoMedia) || current < GST_STATE_PAUSED)
            break;
        if (playsIntoNothing(m_output)) {
            stop();
            fail(ResourceError,
                 m_outputWarning.isEmpty() ? QStringLiteral("No audio output can be opened") : m_outputWarning);
            break;
        }
        setStatus(Status::Loaded);
        break;
    }
    case GST_MESSAGE_WARNING:
        // Why the output fell back to nothing, kept for the error that says so.
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(m_output))
            m_outputWarning = errorText(message);
        break;
    case GST_MESSAGE_EOS:
        if (m_status == Status::Invalid)
            break; // the failure was told, and ended the playback
        // The end gives the output back at once; the owner learns of it with the status.
        stop();
        setStatus(Status::Ended);
        break;
    case GST_MESSAGE_ERROR: {
        if (m_status == Status::Invalid)
            break; // told already, by the failed change of state that posted this
        int code = 0;
        const QString text = errorText(message, &code);
        stop();
        fail(code, text.isEmpty() ? QStringLiteral("Playback failed") : text);
        break;
    }
    default:
        break;
    }
}

void GStreamerPlayer::fail(int code, const QString &text)
{
    m_status = Status::Invalid;
    if (m_failed)
        m_failed(code, text);
}

void GStreamerPlayer::setStatus(Status status)
{
    m_status = status;
    if (m_statusChanged)
        m_statusChanged(status);
}

extern "C" Q_DECL_EXPORT AudioPlayer *quilletCreateAudioPlayer(QObject *parent)
{
    return new GStreamerPlayer(parent);
}
