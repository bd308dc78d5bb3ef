#pragma once

#include "store/defaults.h"

#include <QDateTime>
#include <QString>

// The four program settings, kept in "<executable base name>.ini" in the data folder, section "Options".
struct Settings {
    QString language = QStringLiteral("English");
    bool autoStart = true;
    int opacity = 255;
    quint32 color = Defaults::noteColor;
    // "Alarms Checked": until when (UTC) the alarms were watched, so that a start rings those whose moment
    // fell while the program did not run; invalid while unknown (a first start, an older file).
    QDateTime alarmsChecked;

    // Reads "Alarms Checked", then the keys "Language", "Auto Start", "Opacity", "Color" in this order into the
    // fields; a missing
    // file or key keeps the field's default. A "Color" that cannot be read throws
    // AppError("'<text>' is not a valid integer value") after the three fields before it were set.
    void read(const QString &path);
    // Writes the four keys in that order, then "Alarms Checked" when known, keeping every other section and key of the
    // file. Throws AppError("Unable to write to <full path>").
    void write(const QString &path) const;
};
