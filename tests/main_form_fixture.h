#pragma once

#include "app/form1.h"
#include "store/profile.h"
#include "widgets/error_dialog.h"

#include "desktop_folders.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The main form against real files in a temporary program folder, which holds the data and the resources
// both. The desktop entries every start writes go to folders of the test's own, never into the real home, and
// the error dialog's messages are collected in m_errors rather than shown. A test class derives from it after
// QObject and calls setUpForm() from init() and tearDownForm() from cleanup().
class MainFormFixture {
protected:
    ProgramFolders folders() const
    {
        ProgramFolders f;
        f.dataFolder = m_dir.path() + QLatin1Char('/');
        f.resourceFolder = f.dataFolder;
        f.settingsPath = f.dataFolder + QStringLiteral("quillet.ini");
        f.storePath = f.dataFolder + QStringLiteral("stickies.ini");
        return f;
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    Profile savedStore() const { return Profile::load(path(QStringLiteral("stickies.ini"))); }

    // The form on the folder, not started yet, for what a test sets before the start.
    TForm1 *createForm()
    {
        m_form = std::make_unique<TForm1>(folders());
        return m_form.get();
    }
    TForm1 *start(const QString &commandLineFile = {})
    {
        createForm()->FormCreate(commandLineFile);
        // The tray icon and the desktop's entries come once the notes are on the screen.
        if (!QTest::qWaitFor([this] { return m_form->isStartFinished() || m_form->isClosed(); }, 5000))
            QTest::qFail("the start did not finish", __FILE__, __LINE__);
        return m_form.get();
    }

    // An empty program folder for each test.
    void setUpForm()
    {
        QVERIFY(m_dir.isValid() && m_desktop.isValid());
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir.path()));
        m_errors.clear();
        ErrorDialog::setHandler([this](const QString &text) { m_errors.append(text); });
    }
    void tearDownForm()
    {
        m_form.reset();
        m_desktop.restore();
        ErrorDialog::setHandler({});
    }

    QTemporaryDir m_dir;
    DesktopFolders m_desktop;
    QStringList m_errors;
    std::unique_ptr<TForm1> m_form;
};
