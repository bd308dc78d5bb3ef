#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// The real program, copied into a temporary folder so that it runs portable there: its store and
// settings files are written beside it, where a test prepares and reads them. Its start-at-logon entry and
// file type go to XDG folders of its own (desktopFolder()), never into the real home.
class PortableProgram {
public:
    bool isValid() const { return m_dir.isValid(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString folder() const { return m_dir.path(); }
    QString desktopFolder() const { return m_desktop.path(); }
    QString binary() const { return filePath(QStringLiteral("quillet")); }
    qint64 processId() const { return m_process.processId(); }
    QProcess &process() { return m_process; }

    bool writeFile(const QString &name, const QByteArray &content) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
    }

    // wrapper: a command that runs the program, such as strace with its options (the program's path and
    // arguments follow it).
    bool start(const QStringList &arguments = {}, const QStringList &wrapper = {})
    {
        if (!QFile::exists(binary()) && !QFile::copy(QStringLiteral(QUILLET_BINARY), binary()))
            return false;
        // The modules the program loads when it first plays a sound or prints lie beside it.
        for (const QString &module : QStringLiteral(QUILLET_MODULES).split(QLatin1Char(','))) {
            const QString copy = filePath(QFileInfo(module).fileName());
            if (!QFile::exists(copy) && !QFile::copy(module, copy))
                return false;
        }
        m_process.setProgram(wrapper.isEmpty() ? binary() : wrapper.first());
        m_process.setArguments(wrapper.isEmpty() ? arguments : wrapper.mid(1) + QStringList{binary()} + arguments);
        m_process.setWorkingDirectory(folder());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_desktop.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_desktop.filePath(QStringLiteral("data")));
        // LeakSanitizer cannot look at a traced process: under a tracer the sanitizer build checks memory errors only.
        if (!wrapper.isEmpty() && environment.contains(QStringLiteral("ASAN_OPTIONS")))
            environment.insert(QStringLiteral("ASAN_OPTIONS"),
                               environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start();
        return m_process.waitForStarted(10000);
    }

    // SIGTERM, as the session's end would send it; true when the program ended cleanly in time.
    bool terminate()
    {
        m_process.terminate();
        return m_process.waitForFinished(15000) && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == 0;
    }

    // Ends a program a failed test left running and empties the folder for the next test.
    void reset()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
        QDir dir(folder());
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
            dir.remove(name);
    }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_desktop;
    QProcess m_process;
};
