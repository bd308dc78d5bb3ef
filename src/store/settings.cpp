#include "store/settings.h"

#include "store/app_error.h"
#include "store/color_text.h"
#include "store/profile.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString optionsSection = QStringLiteral("Options");
const QString alarmsCheckedKey = QStringLiteral("Alarms Checked");

} // namespace

void Settings::read(const QString &path)
{
    const Settings defaults;
    const Profile profile = Profile::load(path);
    const QDateTime checked = QDateTime::fromString(profile.readString(optionsSection, alarmsCheckedKey), Qt::ISODate);
    alarmsChecked = checked.isValid() && checked.timeSpec() == Qt::UTC ? checked : QDateTime();
    language = profile.readString(optionsSection, u"Language", defaults.language);
    autoStart = profile.readBool(optionsSection, u"Auto Start", defaults.autoStart);
    opacity = profile.readInteger(optionsSection, u"Opacity", defaults.opacity);
    color = profile.hasKey(optionsSection, u"Color") ? ColorText::toColor(profile.readString(optionsSection, u"Color"))
                                                     : defaults.color;
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
    profile.writeString(optionsSection, u"Language", language);
    profile.writeBool(optionsSection, u"Auto Start", autoStart);
    profile.writeInteger(optionsSection, u"Opacity", opacity);
    profile.writeString(optionsSection, u"Color", ColorText::fromColor(color));
    if (alarmsChecked.isValid())
        profile.writeString(optionsSection, alarmsCheckedKey, alarmsChecked.toUTC().toString(Qt::ISODate));
    profile.save();
}
