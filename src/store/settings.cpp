#include "store/settings.h"

#include "base/app_error.h"
#include "base/defaults.h"
#include "store/color_text.h"
#include "store/profile.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace {

using Key = Settings::Key;

// How a value is kept in the file.
enum class Type {
    Text,
    Flag,    // 1 or 0; any other number reads as set
    Integer, // decimal or hexadecimal; a word reads as the default
    Color,   // a colour name or number; a word that is neither is an error
    Moment,  // ISO 8601 in UTC, written only when known; anything else reads as unknown
    Path,    // text, written only when not empty or when the file has the key already
};

struct Setting {
    Key key;
    const char16_t *name;
    Type type;
    QVariant defaultValue;
};

const QString optionsSection = QStringLiteral("Options");

// Every setting, in the order of Key, which is the order of writing.
const std::array<Setting, Settings::keyCount> &table()
{
    static const std::array<Setting, Settings::keyCount> settings = {{
        {Key::Language, u"Language", Type::Text, QStringLiteral("English")},
        {Key::AutoStart, u"Auto Start", Type::Flag, true},
        {Key::Opacity, u"Opacity", Type::Integer, 255},
        {Key::Color, u"Color", Type::Color, quint32(Defaults::noteColor)},
        {Key::AlarmsChecked, u"Alarms Checked", Type::Moment, QDateTime()},
        {Key::StoreFolder, u"Store Folder", Type::Path, QString()},
    }};
    return settings;
}

QVariant readValue(const Profile &profile, const Setting &setting)
{
    const QStringView name(setting.name);
    switch (setting.type) {
    case Type::Text:
    case Type::Path:
        return profile.readString(optionsSection, name, setting.defaultValue.toString());
    case Type::Flag:
        return profile.readBool(optionsSection, name, setting.defaultValue.toBool());
    case Type::Integer:
        return profile.readInteger(optionsSection, name, setting.defaultValue.toInt());
    case Type::Color:
        return profile.hasKey(optionsSection, name) ? ColorText::toColor(profile.readString(optionsSection, name))
                                                    : setting.defaultValue.toUInt();
    case Type::Moment: {
        const QDateTime moment = QDateTime::fromString(profile.readString(optionsSection, name), Qt::ISODate);
        return moment.isValid() && moment.timeSpec() == Qt::UTC ? moment : setting.defaultValue;
    }
    }
    return setting.defaultValue;
}

void writeValue(Profile &profile, const Setting &setting, const QVariant &value)
{
    const QStringView name(setting.name);
    switch (setting.type) {
    case Type::Text:
        profile.writeString(optionsSection, name, value.toString());
        break;
    case Type::Flag:
        profile.writeBool(optionsSection, name, value.toBool());
        break;
    case Type::Integer:
        profile.writeInteger(optionsSection, name, value.toInt());
        break;
    case Type::Color:
        profile.writeString(optionsSection, name, ColorText::fromColor(value.toUInt()));
        break;
    case Type::Path:
        // An empty folder is the default: an older file gets no key for it, one that has it is emptied.
        if (!value.toString().isEmpty() || profile.hasKey(optionsSection, name))
            profile.writeString(optionsSection, name, value.toString());
        break;
    case Type::Moment:
        // Unknown is written as nothing, so that an older file stays as it was.
        if (const QDateTime moment = value.toDateTime(); moment.isValid())
            profile.writeString(optionsSection, name, moment.toUTC().toString(Qt::ISODate));
        break;
    }
}

} // namespace

Settings::Settings(QObject *parent)
    : QObject(parent)
{
    for (const Setting &setting : table()) {
        // Rows stand in the order of Key: a row left out would leave a key without a name.
        Q_ASSERT(&setting == &table()[std::size_t(setting.key)] && setting.name);
        m_values[std::size_t(setting.key)] = setting.defaultValue;
    }
}

void Settings::set(Key key, const QVariant &value)
{
    QVariant &current = m_values[std::size_t(key)];
    if (current == value)
        return;
    current = value;
    Q_EMIT changed(key);
}

void Settings::read(const QString &path)
{
    const Profile profile = Profile::load(path);
    // A colour that cannot be read keeps its default and is reported after the other keys were read, so
    // that one bad value costs no other setting.
    std::optional<AppError> error;
    for (const Setting &setting : table()) {
        QVariant &value = m_values[std::size_t(setting.key)];
        try {
            value = readValue(profile, setting);
        } catch (const AppError &bad) {
            value = setting.defaultValue;
            if (!error)
                error = bad;
        }
    }
    if (error)
        throw *error;
}

void Settings::write(const QString &path) const
{
    // Edited, not rebuilt: keys a user added to the file by hand survive the exit. A file that cannot be
    // read cannot be edited either.
    Profile profile(path);
    try {
        profile = Profile::load(path);
    } catch (const AppError &) {
        throw AppError(
            QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
    }
    for (const Setting &setting : table())
        writeValue(profile, setting, value(setting.key));
    profile.save();
}
