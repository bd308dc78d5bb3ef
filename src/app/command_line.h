#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

// What a start of the program was asked to do. One note file, or one action for the notes (for desktop
// shortcuts), which a running instance takes over; or --help or --version, which start nothing.
class CommandLine {
public:
    enum class Action { None, New, Show, Hide, Toggle };
    enum class Outcome {
        Run,     // start (or hand over to the running instance) with file() or action()
        Help,    // print helpText() on standard output and end with status 0
        Version, // print versionText() on standard output and end with status 0
        Error,   // print error() and the usage on standard error and end with status 2
    };

    // arguments without the program's name. The options Qt takes for itself (-platform, -session, ...) are
    // passed over, so that a desktop session can restart the program with them.
    static CommandLine parse(const QStringList &arguments);

    Outcome outcome() const { return m_outcome; }
    Action action() const { return m_action; }
    // The note file as given (relative to the working folder); empty when none.
    const QString &file() const { return m_file; }
    const QString &error() const { return m_error; }

    // What goes to the running instance: the file's absolute path, the action's request, or nothing (a new
    // note).
    QString handOver() const;
    // The action that a text handed over asks for; none for a note file's path, for nothing, and for a request
    // this version does not know (which is then opened as a file, and fails clearly).
    static std::optional<Action> actionIn(const QString &handedOver);

    // Answers --help, --version or a mistake on out or errors and gives the exit status; nothing for a start
    // that runs.
    std::optional<int> answer(QTextStream &out, QTextStream &errors) const;

    static QString helpText();
    static QString versionText();
    static QString usageText();

private:
    Outcome m_outcome = Outcome::Run;
    Action m_action = Action::None;
    QString m_file;
    QString m_error;
};
