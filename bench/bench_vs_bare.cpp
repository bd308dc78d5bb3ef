// The program's start beside a bare Qt program that shows the same note windows (bare_notes), in one run: for
// stores of 1, 100 and 500 notes (or the counts given) each is started three times in turn (the program once
// more before, unmeasured: its first start from a folder registers it with the desktop), and the table gives
// the medians of the time from the process start until the window manager lists every note window, of the
// resident memory two seconds after, and, for the program, of its wake-ups per second over ten seconds that
// begin twelve seconds after a click into a note. Every note has an alarm armed for a day ahead. With hundreds of
// windows the window manager is at work on them for a while after it lists them, and each of its changes wakes
// whichever program owns the window: the click waits until it is done, and so does every start, and the bare
// program's wake-ups are counted too.
//
//   source scripts/desktop.sh; start_test_desktop; build/bench/bench_vs_bare [--starts-only] [--runs N] [count...]
//
// A profile of one start with 500 notes (perf is in linux-perf), ended once the window manager lists every note
// (the test desktop's trayer is the one window before them); the ending's own work comes last in the record:
//
//   build-rel/bench/bench_vs_bare --prepare /tmp/q500 500
//   perf record --call-graph dwarf,16384 -F 1000 -o q500.perf -- /tmp/q500/quillet & perf=$!
//   until [ "$(xprop -root _NET_CLIENT_LIST | grep -o 0x | wc -l)" -ge 501 ]; do sleep 0.05; done
//   kill -TERM "$(pgrep -P $perf)"; wait $perf
//   perf report -i q500.perf --children --no-call-graph --sort dso,sym
//
// Where it waits instead of working: the same record with -e sched:sched_switch in place of -F (the gap after
// each switch of the main thread is time off the processor, charged to the switch's stack). How the processors
// are shared with the X server and the window manager: perf record -a -F 1000 around the start, then
// perf report --sort comm.
#include "note_places.h"
#include "platform/locale_texts.h"
#include "store/note_store.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include <poll.h>
#include <xcb/xcb.h>

#include "bench_support.h"

namespace {

// Starts of each program per count; --runs N asks for more, since on two cores shared with the X server and
// the window manager single starts vary by a third.
int runs = 3;
// --starts-only leaves out the wake-ups, which take 22 s of every start, for many quick starts.
bool wakeUpsMeasured = true;
// Only bounds a start that never shows all its notes; 500 notes take seconds.
constexpr int listTimeoutMs = 300000;

// The window manager's list of the windows it manages (_NET_CLIENT_LIST on the root window), and which of them
// it has mapped, watched through their change events, so that a wait ends the moment they change and costs
// nothing in between. The manager lists a window as it takes it on, and maps it later: with hundreds of windows
// on their way, seconds later.
class ClientList {
public:
    ClientList()
        : m_x(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_x))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
        m_clientList = atom("_NET_CLIENT_LIST");
        m_name = atom("_NET_WM_NAME");
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_x, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_x);
    }
    ~ClientList() { xcb_disconnect(m_x); }
    ClientList(const ClientList &) = delete;
    ClientList &operator=(const ClientList &) = delete;

    bool isValid() const { return !xcb_connection_has_error(m_x); }

    QSet<xcb_window_t> windows()
    {
        QSet<xcb_window_t> listed;
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            m_x, xcb_get_property(m_x, 0, m_root, m_clientList, XCB_ATOM_WINDOW, 0, 1 << 16), nullptr);
        if (!reply)
            return listed;
        const auto *ids = static_cast<const xcb_window_t *>(xcb_get_property_value(reply));
        listed = QSet<xcb_window_t>(ids, ids + xcb_get_property_value_length(reply) / sizeof(xcb_window_t));
        free(reply);
        watch(listed - m_watched);
        return listed;
    }

    // The listed windows that are mapped.
    const QSet<xcb_window_t> &mapped() const { return m_mapped; }

    // Forgets the windows of an ended program, and the events about them still on their way: the next program
    // gets the same window ids from the X server.
    void forget()
    {
        free(xcb_get_input_focus_reply(m_x, xcb_get_input_focus(m_x), nullptr));
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_x))
            free(event);
        m_watched.clear();
        m_mapped.clear();
    }

    // The titles of the windows, asked for all at once.
    QStringList titles(const QSet<xcb_window_t> &windows) const
    {
        std::vector<xcb_get_property_cookie_t> cookies;
        for (const xcb_window_t window : windows)
            cookies.push_back(xcb_get_property(m_x, 0, window, m_name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024));
        QStringList titles;
        for (const xcb_get_property_cookie_t cookie : cookies) {
            if (xcb_get_property_reply_t *reply = xcb_get_property_reply(m_x, cookie, nullptr)) {
                titles.append(QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply)),
                                                xcb_get_property_value_length(reply)));
                free(reply);
            }
        }
        return titles;
    }

    // Waits until condition holds for the list, looked at again on each change of it; false after timeoutMs.
    template <typename Condition> bool waitUntil(Condition condition, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        bool changed = true;
        while (isValid()) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_x)) {
                const int type = event->response_type & 0x7f;
                if (type == XCB_PROPERTY_NOTIFY) {
                    changed = changed || reinterpret_cast<xcb_property_notify_event_t *>(event)->atom == m_clientList;
                } else if (type == XCB_MAP_NOTIFY) {
                    m_mapped.insert(reinterpret_cast<xcb_map_notify_event_t *>(event)->window);
                    changed = true;
                } else if (type == XCB_UNMAP_NOTIFY || type == XCB_DESTROY_NOTIFY) {
                    // Both events start with the same fields: the window is the one that went.
                    const xcb_window_t window = reinterpret_cast<xcb_unmap_notify_event_t *>(event)->window;
                    m_mapped.remove(window);
                    m_watched.remove(window);
                    changed = true;
                }
                free(event);
            }
            if (changed) {
                changed = false;
                if (condition(windows()))
                    return true;
                // Reading the list may have taken change events off the connection: they are looked at first.
                continue;
            }
            const qint64 left = deadline.remainingTime();
            if (left == 0)
                return false;
            pollfd connection{xcb_get_file_descriptor(m_x), POLLIN, 0};
            poll(&connection, 1, int(std::min<qint64>(left, 1000)));
        }
        return false;
    }

private:
    // Map changes of the windows are reported from now on; whether each is mapped already is asked after that,
    // so that no change falls between.
    void watch(const QSet<xcb_window_t> &windows)
    {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        std::vector<std::pair<xcb_window_t, xcb_get_window_attributes_cookie_t>> cookies;
        for (const xcb_window_t window : windows) {
            xcb_change_window_attributes(m_x, window, XCB_CW_EVENT_MASK, &mask);
            cookies.emplace_back(window, xcb_get_window_attributes(m_x, window));
            m_watched.insert(window);
        }
        for (const auto &[window, cookie] : cookies) {
            if (xcb_get_window_attributes_reply_t *reply = xcb_get_window_attributes_reply(m_x, cookie, nullptr)) {
                if (reply->map_state != XCB_MAP_STATE_UNMAPPED)
                    m_mapped.insert(window);
                free(reply);
            }
        }
    }

    xcb_atom_t atom(const char *name) const
    {
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, uint16_t(qstrlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return atom;
    }

    xcb_connection_t *m_x;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_atom_t m_clientList = XCB_ATOM_NONE;
    xcb_atom_t m_name = XCB_ATOM_NONE;
    QSet<xcb_window_t> m_watched;
    QSet<xcb_window_t> m_mapped;
};

// A portable program folder: a copy of the program with its resources, and a store of notes that is written
// again before every start, the other files of the last start removed, so that each start finds the same.
class ProgramFolder {
public:
    ProgramFolder(const QString &path, int count)
        : m_dir(path)
    {
        const QDir built = QFileInfo(QStringLiteral(QUILLET_BINARY)).absoluteDir();
        m_program = copyProgram(m_dir.path());
        for (const QString &resource : resources())
            QFile::link(built.filePath(resource), m_dir.filePath(resource));
        const QDateTime due = QDateTime::currentDateTime().addDays(1);
        for (int i = 0; i < count; ++i) {
            NoteRecord note;
            note.title = NotePlaces::title(i);
            note.left = NotePlaces::place(i).x();
            note.top = NotePlaces::place(i).y();
            note.width = NotePlaces::size.width();
            note.height = NotePlaces::size.height();
            note.text = QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Sans;}}"
                                       "\\viewkind4\\uc1\\pard\\li100\\ri100\\f0\\fs20 %1\\b %2\\b0\\par}")
                            .arg(NotePlaces::plainWords(i), NotePlaces::boldWords());
            note.alarm.enabled = true;
            note.alarm.countdown = false;
            note.alarm.date = LocaleTexts::shortDate(due.date());
            note.alarm.time = LocaleTexts::hourMinute(due.time());
            m_notes.append(note);
        }
        restore();
    }

    QString binary() const { return m_dir.filePath(QStringLiteral("quillet")); }
    QString path() const { return m_dir.path(); }

    void restore() const
    {
        const QStringList keep = resources() + m_program;
        for (const QFileInfo &entry : m_dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            if (keep.contains(entry.fileName()))
                continue;
            if (entry.isDir() && !entry.isSymLink())
                QDir(entry.filePath()).removeRecursively();
            else
                QFile::remove(entry.filePath());
        }
        NoteStore::save(m_dir.filePath(QStringLiteral("stickies.ini")), m_notes);
    }

private:
    static QStringList resources()
    {
        return {QStringLiteral("alarm"), QStringLiteral("language"), QStringLiteral("icon.svg")};
    }

    QDir m_dir;
    QStringList m_program;
    QList<NoteRecord> m_notes;
};

struct Sample {
    double startMs = -1;
    double mappedMs = -1;
    double rssMb = -1;
    double wakeUps = -1;
    double settleS = -1; // how long the window manager was still at work after the memory was read
};

double residentMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Processor time (user and system, in clock ticks) that a process has used; -1 when it is gone.
qint64 processorTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The name in parentheses may hold blanks; the fields after it are counted from its end.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

// The window manager of this display: the openbox process whose DISPLAY is ours; 0 when none is found.
qint64 windowManagerPid()
{
    const QByteArray display = "DISPLAY=" + qgetenv("DISPLAY");
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(entry));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "openbox")
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(display))
            return entry.toLongLong();
    }
    return 0;
}

// Waits until the window manager has used no processor time for a second (at most two minutes): with hundreds
// of new windows it is at work on them for a while after it lists them, and each of its changes wakes the
// program that owns the window. Returns how long it took, in seconds.
double waitForQuietWindowManager()
{
    const qint64 pid = windowManagerPid();
    if (pid == 0)
        return -1;
    QElapsedTimer clock;
    clock.start();
    qint64 last = processorTicks(pid);
    int quietSamples = 0;
    while (quietSamples < 4 && clock.elapsed() < 120000) {
        QThread::msleep(250);
        const qint64 now = processorTicks(pid);
        quietSamples = now == last ? quietSamples + 1 : 0;
        last = now;
    }
    return double(clock.elapsed()) / 1000.0;
}

bool runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// The desktop's folders (XDG_CONFIG_HOME, XDG_DATA_HOME) that every start of the run shares, apart from the
// user's own.
QProcessEnvironment desktopEnvironment(const QTemporaryDir &desktop)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), desktop.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), desktop.filePath(QStringLiteral("data")));
    return environment;
}

// Starts program in folder on the run's desktop, its output dropped and its errors shown; clock, when given,
// starts with the process.
void startOnDesktop(QProcess &process, const QTemporaryDir &desktop, const QString &folder, const QString &program,
                    const QStringList &arguments, QElapsedTimer *clock = nullptr)
{
    process.setProcessEnvironment(desktopEnvironment(desktop));
    process.setWorkingDirectory(folder);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (clock)
        clock->start();
    process.start(program, arguments);
}

// Ends a start by SIGTERM, and returns once the window manager has let go of its windows: it does so slowly
// with hundreds of them, and the next start must not wait behind that.
void endStart(QProcess &process, ClientList &clients, const QSet<xcb_window_t> &before)
{
    process.terminate();
    if (!process.waitForFinished(120000)) {
        std::printf("  %s did not end on SIGTERM; killed\n", qPrintable(process.program()));
        process.kill();
        process.waitForFinished();
    }
    if (!clients.waitUntil([&](const QSet<xcb_window_t> &listed) { return (listed - before).isEmpty(); },
                           listTimeoutMs))
        std::printf("  the window manager still lists windows of the ended program\n");
    clients.forget();
}

// A first start of the program from a folder tells the desktop about it (the file type, run through
// update-mime-database and update-desktop-database); later starts find that done. The measured starts are
// later ones: one start, unmeasured, goes before them.
void firstStart(ClientList &clients, const QSet<xcb_window_t> &before, const QTemporaryDir &desktop,
                const QString &program, const QString &folder, int count)
{
    QProcess process;
    startOnDesktop(process, desktop, folder, program, {});
    if (!process.waitForStarted(30000) ||
        !clients.waitUntil([&](const QSet<xcb_window_t> &listed) { return (listed - before).size() >= count; },
                           listTimeoutMs))
        std::printf("  the first start of %s showed no %d windows\n", qPrintable(program), count);
    endStart(process, clients, before);
}

// The wake-ups per second of the program pid over ten seconds that begin twelve seconds after a click into the
// window note.
double wakeUpsAfterClick(const QString &note, qint64 pid)
{
    if (!runTool(QStringLiteral("xdotool"),
                 {QStringLiteral("windowactivate"), QStringLiteral("--sync"), note, QStringLiteral("mousemove"),
                  QStringLiteral("--window"), note, QStringLiteral("60"), QStringLiteral("60"), QStringLiteral("click"),
                  QStringLiteral("1")}))
        std::printf("  the click into a note failed\n");
    QThread::sleep(12);
    return wakeUpsPerSecond(pid);
}

// One start of a program that shows count notes titled as NotePlaces gives them, ended by SIGTERM after the
// measures.
Sample measureStart(ClientList &clients, const QSet<xcb_window_t> &before, const QTemporaryDir &desktop,
                    const QString &program, const QStringList &arguments, const QString &folder, int count)
{
    Sample sample;
    QSet<xcb_window_t> notes;
    const auto allListed = [&](const QSet<xcb_window_t> &listed) {
        notes = listed - before;
        return notes.size() >= count;
    };
    // A window may still be listed for a moment after it went: the notes are those listed now.
    const auto allMapped = [&](const QSet<xcb_window_t> &listed) {
        notes = listed - before;
        return (notes & clients.mapped()).size() >= count;
    };
    QProcess process;
    QElapsedTimer clock;
    startOnDesktop(process, desktop, folder, program, arguments, &clock);
    if (process.waitForStarted(30000) && clients.waitUntil(allListed, listTimeoutMs)) {
        sample.startMs = double(clock.elapsed());
        const QString note = QString::number(*notes.cbegin());
        QStringList titles = clients.titles(notes);
        for (int i = 0; i < count; ++i)
            titles.removeOne(NotePlaces::title(i));
        if (!titles.isEmpty())
            std::printf("  windows that are no note: %s\n", qPrintable(titles.join(QStringLiteral(", "))));
        // These intervals define the figures: memory two seconds after the start, wake-ups from twelve seconds
        // after a click, once the caret has stopped blinking (ten seconds after the last input). The click
        // waits for the window manager to be done with the new windows: until then it wakes any program.
        if (clients.waitUntil(allMapped, 2000))
            sample.mappedMs = double(clock.elapsed());
        QThread::msleep(std::max<qint64>(0, qint64(sample.startMs) + 2000 - clock.elapsed()));
        sample.rssMb = residentMb(process.processId());
        if (sample.mappedMs < 0 && clients.waitUntil(allMapped, listTimeoutMs))
            sample.mappedMs = double(clock.elapsed());
        sample.settleS = waitForQuietWindowManager();
        if (wakeUpsMeasured)
            sample.wakeUps = wakeUpsAfterClick(note, process.processId());
    } else {
        std::printf("  %s did not show %d windows (%lld listed)\n", qPrintable(program), count,
                    static_cast<long long>(notes.size()));
    }
    endStart(process, clients, before);
    return sample;
}

double median(std::vector<double> values)
{
    if (std::any_of(values.cbegin(), values.cend(), [](double v) { return v < 0; }))
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double ratio(double a, double b)
{
    return a > 0 && b > 0 ? a / b : -1;
}

// A count of notes given on the command line, or 0 for one that is none (said on stderr, with the usage).
int countOf(const QString &argument)
{
    bool isNumber = false;
    const int count = argument.toInt(&isNumber);
    if (isNumber && count > 0)
        return count;
    std::fprintf(stderr,
                 "bench_vs_bare: \"%s\" is no count of notes\n"
                 "usage: bench_vs_bare [--starts-only] [--runs N] [count...] | --prepare FOLDER COUNT\n",
                 qPrintable(argument));
    return 0;
}

int prepare(const QString &path, int count)
{
    QDir().mkpath(path);
    const ProgramFolder folder(path, count);
    std::printf("%s: %d notes\n", qPrintable(folder.binary()), count);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--prepare") && arguments.size() == 3) {
        const int count = countOf(arguments.at(2));
        return count > 0 ? prepare(arguments.at(1), count) : 2;
    }
    if (arguments.value(0) == QLatin1String("--starts-only")) {
        wakeUpsMeasured = false;
        arguments.removeFirst();
    }
    if (arguments.value(0) == QLatin1String("--runs") && arguments.size() >= 2) {
        bool isNumber = false;
        runs = arguments.at(1).toInt(&isNumber);
        if (!isNumber || runs < 1) {
            std::fprintf(stderr, "bench_vs_bare: --runs wants a number of starts, not \"%s\"\n",
                         qPrintable(arguments.at(1)));
            return 2;
        }
        arguments = arguments.mid(2);
    }
    std::vector<int> counts;
    for (const QString &argument : std::as_const(arguments)) {
        const int count = countOf(argument);
        if (count < 1)
            return 2;
        counts.push_back(count);
    }
    if (counts.empty())
        counts = {1, 100, 500};

    ClientList clients;
    if (!clients.isValid()) {
        std::fprintf(stderr, "bench_vs_bare: no X display (source scripts/desktop.sh; start_test_desktop)\n");
        return 1;
    }
    const QSet<xcb_window_t> before = clients.windows();
    const QTemporaryDir desktop;
    std::map<int, std::pair<std::vector<Sample>, std::vector<Sample>>> samples;
    for (const int count : counts) {
        QTemporaryDir dir;
        const ProgramFolder folder(dir.path(), count);
        QElapsedTimer clock;
        clock.start();
        firstStart(clients, before, desktop, folder.binary(), folder.path(), count);
        folder.restore();
        for (int run = 1; run <= runs; ++run) {
            const auto report = [&](const char *name, const Sample &sample) {
                std::printf("%4d notes, run %d: %-7s listed %6.0f ms, mapped %6.0f ms, %6.1f MB, %6.2f wake-ups/s "
                            "(window manager busy %.1f s more)\n",
                            count, run, name, sample.startMs, sample.mappedMs, sample.rssMb, sample.wakeUps,
                            sample.settleS);
                std::fflush(stdout);
            };
            // Each start begins with a window manager done with the windows of the one before.
            waitForQuietWindowManager();
            samples[count].first.push_back(
                measureStart(clients, before, desktop, folder.binary(), {}, folder.path(), count));
            report("quillet", samples[count].first.back());
            folder.restore();
            waitForQuietWindowManager();
            samples[count].second.push_back(measureStart(clients, before, desktop, QStringLiteral(BARE_NOTES_BINARY),
                                                         {QString::number(count)}, folder.path(), count));
            report("bare", samples[count].second.back());
        }
        std::printf("%4d notes: %d runs of each in %.0f s\n", count, runs, double(clock.elapsed()) / 1000.0);
    }

    std::printf("\nmedians of %d runs; start-up: from the process start until the window manager lists every note "
                "(and until it has mapped every one); RSS 2 s after the listing; wake-ups per second over 10 s from "
                "12 s after a click into a note\n",
                runs);
    std::printf("notes   start ms quillet    bare  ratio   mapped ms quillet    bare  ratio   RSS MB quillet   bare  "
                "ratio   wake-ups/s quillet   bare\n");
    for (const auto &[count, pair] : samples) {
        const auto of = [&pair](double Sample::*figure) {
            std::pair<std::vector<double>, std::vector<double>> values;
            for (const Sample &sample : pair.first)
                values.first.push_back(sample.*figure);
            for (const Sample &sample : pair.second)
                values.second.push_back(sample.*figure);
            return std::pair(median(values.first), median(values.second));
        };
        const auto [startReal, startBare] = of(&Sample::startMs);
        const auto [mappedReal, mappedBare] = of(&Sample::mappedMs);
        const auto [rssReal, rssBare] = of(&Sample::rssMb);
        const auto [wakeUpsReal, wakeUpsBare] = of(&Sample::wakeUps);
        std::printf("%5d   %16.0f  %6.0f  %5.2f   %17.0f  %6.0f  %5.2f   %14.1f  %5.1f  %5.2f   %18.2f  %5.2f\n", count,
                    startReal, startBare, ratio(startReal, startBare), mappedReal, mappedBare,
                    ratio(mappedReal, mappedBare), rssReal, rssBare, ratio(rssReal, rssBare), wakeUpsReal, wakeUpsBare);
    }
    return 0;
}
