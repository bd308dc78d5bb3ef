#pragma once

#include "model/note_alarm.h"
#include "store/note_record.h"

#include <QObject>

#include <functional>
#include <optional>

// One note of the list: everything that is stored of it, and its alarm with a countdown's due moment. The
// window that shows it writes the user's changes here. Two things change in the window without the window
// telling each step, the bounds (the window manager frames and places it) and the text (its RTF is written
// only when read, not at every key press): the window lends a reader for them, and record() asks it.
class Note : public QObject {
    Q_OBJECT

public:
    explicit Note(const NoteRecord &record = {}, QObject *parent = nullptr);

    // Everything that is stored of the note, the live bounds and text of its window included.
    NoteRecord record() const;
    // Sets every stored property. An armed countdown resumes from the record's due moment.
    void setRecord(const NoteRecord &record);

    // The note's identity in the store (see NoteRecord::id).
    const QString &id() const { return m_record.id; }
    const QString &title() const { return m_record.title; }
    void setTitle(const QString &title);
    int opacity() const { return m_record.opacity; }
    void setOpacity(int alpha);
    quint32 color() const { return m_record.color; }
    void setColor(quint32 color);
    bool stayOnTop() const { return m_record.stayOnTop; }
    void setStayOnTop(bool onTop);
    // The user's own lock, which the store keeps as "Lock Text".
    bool lockText() const { return m_record.lockText; }
    void setLockText(bool locked);

    // Takes a version of the note that came from elsewhere (another machine's store): the window that shows the
    // note takes it whole, live bounds and text included.
    void replace(const NoteRecord &record);
    // The identity and revision a save gave the note; they are no change of the note.
    void setIdentity(const QString &id, const QString &revision);

    // The window's reader of its live bounds and text (see above); an empty one detaches the window, which
    // hands its state over first. plainText gives the text the window shows without its formatting, read
    // far faster than the RTF; nothing when the window does not show all of it.
    using LiveState = std::function<void(NoteRecord &record)>;
    using LivePlainText = std::function<std::optional<QString>()>;
    void setLiveState(LiveState read, LivePlainText plainText = {});

    // The text without its formatting, as a search reads it: read once after each change (from the window
    // that shows it, else from the RTF), so that searching many notes again and again reads nothing that did
    // not change.
    const QString &plainText() const;

    // The alarm, changed in place by the alarm dialog and the scheduler; markChanged() tells the list.
    NoteAlarm &alarm() { return m_alarm; }
    const NoteAlarm &alarm() const { return m_alarm; }
    void markChanged() { Q_EMIT changed(); }

signals:
    // A stored property changed: the list saves it before long.
    void changed();
    // replace() hands the window a record to show and keep; nobody listens while no window shows the note.
    void replaced(const NoteRecord &record);

private:
    template <typename T> void set(T &field, const T &value);

    NoteRecord m_record; // its alarm fields and due moment live in m_alarm
    NoteAlarm m_alarm;
    LiveState m_liveState;
    LivePlainText m_livePlainText;
    mutable QString m_plainText;
    mutable bool m_plainTextStale = true;
};
