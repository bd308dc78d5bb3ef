#include "model/note.h"

#include "base/app_error.h"
#include "rtf/rtf_reader.h"

#include <QMetaMethod>
#include <QTextDocument>

Note::Note(const NoteRecord &record, QObject *parent)
    : QObject(parent)
{
    // Every change of the note passes here, the window's edits of its text too.
    connect(this, &Note::changed, this, [this] { m_plainTextStale = true; });
    setRecord(record);
}

const QString &Note::plainText() const
{
    if (m_plainTextStale && m_livePlainText) {
        if (std::optional<QString> shown = m_livePlainText()) {
            m_plainText = *std::move(shown);
            m_plainTextStale = false;
        }
    }
    if (m_plainTextStale) {
        const QString text = record().text;
        QTextDocument document;
        // A text that is no readable RTF is shown as it is by the window, and found as it is.
        try {
            RtfReader::readNoteText(text, &document);
            m_plainText = document.toPlainText();
        } catch (const AppError &) {
            m_plainText = text;
        }
        m_plainTextStale = false;
    }
    return m_plainText;
}

NoteRecord Note::record() const
{
    NoteRecord record = m_record;
    if (m_liveState)
        m_liveState(record);
    record.alarm = m_alarm.fields;
    record.due = m_alarm.due();
    return record;
}

void Note::setRecord(const NoteRecord &record)
{
    const NoteRecord before = this->record();
    m_record = record;
    m_alarm.disarm();
    m_alarm.fields = record.alarm;
    if (m_alarm.fields.enabled && m_alarm.fields.countdown)
        m_alarm.restoreCountdown(record.due, AlarmClocks::current());
    if (this->record() != before)
        Q_EMIT changed();
}

template <typename T> void Note::set(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT changed();
}

void Note::setTitle(const QString &title)
{
    set(m_record.title, title);
}

void Note::setOpacity(int alpha)
{
    set(m_record.opacity, alpha);
}

void Note::setColor(quint32 color)
{
    set(m_record.color, color);
}

void Note::setStayOnTop(bool onTop)
{
    set(m_record.stayOnTop, onTop);
}

void Note::setLockText(bool locked)
{
    set(m_record.lockText, locked);
}

void Note::setLiveState(LiveState read, LivePlainText plainText)
{
    // The window that goes leaves its last bounds and text behind.
    if (m_liveState)
        m_liveState(m_record);
    m_liveState = std::move(read);
    m_livePlainText = std::move(plainText);
    m_plainTextStale = true;
}

void Note::replace(const NoteRecord &record)
{
    if (isSignalConnected(QMetaMethod::fromSignal(&Note::replaced)))
        Q_EMIT replaced(record);
    else
        setRecord(record);
}

void Note::setIdentity(const QString &id, const QString &revision)
{
    m_record.id = id;
    m_record.revision = revision;
}
