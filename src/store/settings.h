#pragma once

#include "base/defaults.h"
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

#include <array>

// The program settings, kept in "<executable base name>.ini" in the data folder, section "Options". One table
// (see settings.cpp) gives every setting its key, type and default; the reader and the writer walk it.
class Settings : public QObject {
    Q_OBJECT

public:
    // In the order of the table: the order in which the keys are written.
    enum class Key { Language, AutoStart, Opacity, Color, AlarmsChecked, StoreFolder };
    Q_ENUM(Key)
    static constexpr std::size_t keyCount = std::size_t(Key::StoreFolder) + 1;

    explicit Settings(QObject *parent = nullptr);

    // The interface language's name, as the tray menu and the language files name it.
    QString language() const { return value(Key::Language).toString(); }
    void setLanguage(const QString &language) { set(Key::Language, language); }
    // Whether the program starts at logon.
    bool autoStart() const { return value(Key::AutoStart).toBool(); }
    void setAutoStart(bool on) { set(Key::AutoStart, on); }
    // The alpha of new notes; the file imposes no range.
    int opacity() const { return value(Key::Opacity).toInt(); }
    void setOpacity(int alpha) { set(Key::Opacity, alpha); }
    // The colour of new notes (0x00BBGGRR, or a system colour).
    quint32 color() const { return value(Key::Color).toUInt(); }
    void setColor(quint32 color) { set(Key::Color, color); }
    // "Alarms Checked": until when (UTC) the alarms were watched, so that a start rings those whose moment
    // fell while the program did not run; invalid while unknown (a first start, an older file).
    QDateTime alarmsChecked() const { return value(Key::AlarmsChecked).toDateTime(); }
    void setAlarmsChecked(const QDateTime &checked) { set(Key::AlarmsChecked, checked); }
    // "Store Folder": where the notes are kept when not in the data folder, such as a folder that a file-sync
    // engine shares between machines; empty for the data folder.
    QString storeFolder() const { return value(Key::StoreFolder).toString(); }
    void setStoreFolder(const QString &folder) { set(Key::StoreFolder, folder); }

    // Every setting from the file; a missing file or key, and a value of the wrong type, give the default.
    // A "Color" that cannot be read throws AppError("'<text>' is not a valid integer value") once every other
    // key was read. Emits nothing: start-up applies what it read in its own order.
    void read(const QString &path);
    // Writes the keys in the table's order, "Alarms Checked" only when known, keeping every other section and
    // key of the file. Throws AppError("Unable to write to <full path>").
    void write(const QString &path) const;

signals:
    // A setter changed a value (one that sets the value it already had emits nothing).
    void changed(Settings::Key key);

private:
    void set(Key key, const QVariant &value);

    const QVariant &value(Key key) const { return m_values[std::size_t(key)]; }

    std::array<QVariant, keyCount> m_values; // by Key
};
