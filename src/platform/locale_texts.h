#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

// The date and time texts the user's regional settings give, in one place: the new note's title, the alarm's
// stored "Date", the alarm check's comparison and the alarm dialog all use these, so what is written is what
// is compared.
namespace LocaleTexts {

// The short date ("12/9/26" in en_US, "09.12.26" in de_DE).
QString shortDate(QDate date, const QLocale &locale = QLocale::system());
// The date a short date text names; invalid when the text is no such date.
QDate parseShortDate(const QString &text, const QLocale &locale = QLocale::system());
// The long time without a time zone ("12:10:07 AM" in en_US, "00:10:07" in de_DE).
QString longTime(QTime time, const QLocale &locale = QLocale::system());
// "HH:MM" on the 24-hour clock, as the alarm's "Time" holds it.
QString hourMinute(QTime time);
// The text in upper or lower case as the user's language writes it (Cyrillic, Greek and the rest included).
QString upperCase(const QString &text, const QLocale &locale = QLocale::system());
QString lowerCase(const QString &text, const QLocale &locale = QLocale::system());

} // namespace LocaleTexts
