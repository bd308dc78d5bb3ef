#pragma once

#include <QString>

#include <exception>

// A failure of a program command. Its message is the text the user sees in the error dialog, so it
// carries the program's own wording ("Unable to write to %s", "Failed to Load Stream", ...).
class AppError : public std::exception {
public:
    explicit AppError(QString message);

    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

    // The dialog's text: the message with a full stop added when its last character sorts after ".",
    // so "Unable to write to /x/stickies.ini" gets one and "Done!" does not.
    static QString withFullStop(const QString &message);

    // The message of the exception being handled (an AppError's, any other exception's what(), or
    // "Unknown error"); call it only inside a catch block.
    static QString currentMessage();

private:
    QString m_message;
    QByteArray m_utf8;
};
