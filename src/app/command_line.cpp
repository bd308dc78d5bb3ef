#include "app/command_line.h"

#include "app/single_instance.h"
#include "base/program_version.h"

#include <QFileInfo>

#include <algorithm>
#include <iterator>

namespace {

struct ActionOption {
    QStringView option;
    QStringView request; // the word after SingleInstance::requestMark
    CommandLine::Action action;
};

constexpr ActionOption actionOptions[] = {
    {u"--new", u"new", CommandLine::Action::New},
    {u"--show", u"show", CommandLine::Action::Show},
    {u"--hide", u"hide", CommandLine::Action::Hide},
    {u"--toggle", u"toggle", CommandLine::Action::Toggle},
};

// Qt's own options, which the application object takes out of the arguments: a session manager restarts the
// program with "-session <id>", and -platform, -style and -display serve anyone who runs it by hand. Qt
// accepts them with one dash or two; those with a value take it as the next argument or after "=".
struct QtOption {
    QStringView name;
    bool takesValue;
};
constexpr QtOption qtOptions[] = {
    {u"platform", true},
    {u"platformpluginpath", true},
    {u"platformtheme", true},
    {u"plugin", true},
    {u"session", true},
    {u"display", true},
    {u"style", true},
    {u"stylesheet", true},
    {u"qwindowgeometry", true},
    {u"qwindowtitle", true},
    {u"qwindowicon", true},
    {u"geometry", true},
    {u"title", true},
    {u"icon", true},
    {u"name", true},
    {u"qmljsdebugger", true},
    {u"reverse", false},
    {u"widgetcount", false},
    {u"sync", false},
    {u"nograb", false},
    {u"dograb", false},
};

// The Qt option an argument is, or null.
const QtOption *qtOption(const QString &argument)
{
    QStringView name = QStringView(argument).sliced(argument.startsWith(u"--") ? 2 : 1);
    if (const qsizetype equals = name.indexOf(u'='); equals >= 0)
        name = name.first(equals);
    const auto found = std::find_if(std::begin(qtOptions), std::end(qtOptions),
                                    [name](const QtOption &option) { return option.name == name; });
    return found == std::end(qtOptions) ? nullptr : found;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine result;
    QStringList files;
    QStringList actions;
    bool optionsEnd = false;
    const auto fail = [&result](const QString &error) {
        result.m_outcome = Outcome::Error;
        result.m_error = error;
        return result;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (optionsEnd || argument.size() < 2 || !argument.startsWith(QLatin1Char('-'))) {
            files.append(argument);
        } else if (argument == u"--") {
            optionsEnd = true;
        } else if (argument == u"--help" || argument == u"-h") {
            result.m_outcome = Outcome::Help;
            return result;
        } else if (argument == u"--version") {
            result.m_outcome = Outcome::Version;
            return result;
        } else if (std::any_of(std::begin(actionOptions), std::end(actionOptions),
                               [&argument](const ActionOption &option) { return option.option == argument; })) {
            actions.append(argument);
        } else if (const QtOption *option = qtOption(argument)) {
            if (option->takesValue && !argument.contains(QLatin1Char('=')) && ++i >= arguments.size())
                return fail(QStringLiteral("%1 needs a value").arg(argument));
        } else {
            return fail(QStringLiteral("unknown option %1").arg(argument));
        }
    }
    actions.removeDuplicates();
    if (actions.size() > 1 || (!actions.isEmpty() && !files.isEmpty()))
        return fail(QStringLiteral("%1 goes alone, without a note file or another action").arg(actions.first()));
    for (const ActionOption &option : actionOptions) {
        if (!actions.isEmpty() && option.option == actions.first())
            result.m_action = option.action;
    }
    // Only the first file counts, as it always did.
    result.m_file = files.value(0);
    return result;
}

QString CommandLine::handOver() const
{
    for (const ActionOption &option : actionOptions) {
        if (option.action == m_action)
            return SingleInstance::requestMark + option.request.toString();
    }
    return m_file.isEmpty() ? QString() : QFileInfo(m_file).absoluteFilePath();
}

std::optional<CommandLine::Action> CommandLine::actionIn(const QString &handedOver)
{
    if (!handedOver.startsWith(SingleInstance::requestMark))
        return std::nullopt;
    const QStringView word = QStringView(handedOver).sliced(1);
    for (const ActionOption &option : actionOptions) {
        if (option.request == word)
            return option.action;
    }
    return std::nullopt;
}

std::optional<int> CommandLine::answer(QTextStream &out, QTextStream &errors) const
{
    switch (m_outcome) {
    case Outcome::Help:
        out << helpText() << Qt::flush;
        return 0;
    case Outcome::Version:
        out << versionText() << Qt::flush;
        return 0;
    case Outcome::Error:
        errors << "quillet: " << m_error << '\n' << usageText() << Qt::flush;
        return 2;
    case Outcome::Run:
        break;
    }
    return std::nullopt;
}

QString CommandLine::usageText()
{
    return QStringLiteral("Usage: quillet [--new | --show | --hide | --toggle | [--] note.stc]\n"
                          "       quillet --help | --version\n");
}

QString CommandLine::helpText()
{
    return usageText() +
           QStringLiteral("\n"
                          "Sticky notes on the desktop. Only one instance runs on the notes: a later start hands\n"
                          "its note file or action to the running instance and ends; when none runs, it starts\n"
                          "the program and the action applies once the notes are up.\n"
                          "\n"
                          "  note.stc    open a note file as a new note (after \"--\" when its name begins\n"
                          "              with \"-\")\n"
                          "  --new       make a new note, as \"New Sticky Note\" in the tray menu\n"
                          "  --show      show every note and bring it to the front, as a click on the icon\n"
                          "  --hide      hide every note, as \"Hide All\" in the tray menu checked\n"
                          "  --toggle    hide every note when any note is shown, otherwise show them all;\n"
                          "              \"Hide All\" is checked or unchecked to match\n"
                          "  --help      print this help and exit\n"
                          "  --version   print the version and exit\n"
                          "\n"
                          "Without an argument a start shows the stored notes; a later start without one\n"
                          "makes a new note in the running instance.\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("%1 %2\n").arg(QString::fromLatin1(ProgramVersion::name),
                                         QString::fromLatin1(ProgramVersion::version));
}
