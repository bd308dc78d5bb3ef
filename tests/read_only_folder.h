#pragma once

#include <QFile>
#include <QString>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

// Makes a folder unwritable for as long as the guard lives. Permission bits do not stop root, so when the
// tests run as root the effective user also drops to "nobody" for that time. Tests skip when neither works
// (isEffective() is false), rather than pass without having tried a write that fails.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString &folder)
        : m_folder(folder)
    {
#ifdef Q_OS_UNIX
        const QByteArray path = QFile::encodeName(folder);
        ::chmod(path.constData(), 0555);
        if (::geteuid() == 0)
            m_droppedRoot = ::seteuid(65534) == 0;
#endif
        QFile probe(folder + QStringLiteral("/probe"));
        m_effective = !probe.open(QIODevice::WriteOnly);
        if (!m_effective)
            probe.remove();
    }
    ~ReadOnlyFolder()
    {
#ifdef Q_OS_UNIX
        // Every later test would run as "nobody".
        if (m_droppedRoot && ::seteuid(0) != 0)
            qFatal("cannot become root again");
        ::chmod(QFile::encodeName(m_folder).constData(), 0700);
#endif
    }
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

    bool isEffective() const
    {
        return m_effective;
    }

private:
    QString m_folder;
    bool m_droppedRoot = false;
    bool m_effective = false;
};
