#include "platform/locale_texts.h"

#include <QRegularExpression>

namespace LocaleTexts {

QString shortDate(QDate date, const QLocale &locale)
{
    return locale.toString(date, QLocale::ShortFormat);
}

QDate parseShortDate(const QString &text, const QLocale &locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QDate date = locale.toDate(text, format);
    // Two-digit years read as 1900-1999; the texts this program writes mean this century.
    if (date.isValid() && date.year() < 1950 && !format.contains(QLatin1String("yyyy")))
        date = date.addYears(100);
    return date;
}

QString longTime(QTime time, const QLocale &locale)
{
    // The system's long format ends in the time zone ("h:mm:ss AP t"); the time alone is wanted.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.replace(zone, QStringLiteral(" "));
    return locale.toString(time, format.trimmed());
}

QString hourMinute(QTime time)
{
    return time.toString(QStringLiteral("HH:mm"));
}

QString upperCase(const QString &text, const QLocale &locale)
{
    return locale.toUpper(text);
}

QString lowerCase(const QString &text, const QLocale &locale)
{
    return locale.toLower(text);
}

} // namespace LocaleTexts
