#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// XDG config and data folders of the test's own, for as long as the guard lives: every start of the main
// form writes its start-at-logon entry and file type there, never into the real home. The folders it
// writes to are open to every user, because ReadOnlyFolder may run a start as "nobody".
class DesktopFolders {
public:
    DesktopFolders()
        : m_saved{qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_DATA_HOME")}
    {
        use(m_dir.path());
    }
    ~DesktopFolders()
    {
        qputenv("XDG_CONFIG_HOME", m_saved[0]);
        qputenv("XDG_DATA_HOME", m_saved[1]);
    }
    DesktopFolders(const DesktopFolders &) = delete;
    DesktopFolders &operator=(const DesktopFolders &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString config() const { return qEnvironmentVariable("XDG_CONFIG_HOME"); }
    QString data() const { return qEnvironmentVariable("XDG_DATA_HOME"); }
    QString autoStartEntry() const { return config() + QStringLiteral("/autostart/quillet.desktop"); }
    QString fileTypeHandler() const { return data() + QStringLiteral("/applications/quillet-vellumy.desktop"); }

    // Fresh folders below root for one test; restore() goes back to the shared ones.
    void use(const QString &root)
    {
        const QString config = root + QStringLiteral("/config");
        const QString data = root + QStringLiteral("/data");
        for (const QString &folder :
             {root, config, config + QStringLiteral("/autostart"), data, data + QStringLiteral("/mime"),
              data + QStringLiteral("/mime/packages"), data + QStringLiteral("/applications")}) {
            QDir().mkpath(folder);
            QFile::setPermissions(folder, QFileDevice::Permissions(0x7777));
        }
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    }
    void restore() { use(m_dir.path()); }

private:
    QTemporaryDir m_dir;
    QByteArray m_saved[2];
};
