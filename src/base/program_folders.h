#pragma once

#include <QString>

// Where the program's files are. One function decides; nothing else guesses.
struct ProgramFolders {
    // The store's file name, in the data folder.
    static constexpr char storeFileName[] = "stickies.ini";

    QString dataFolder;     // stickies.ini and the settings file; ends with '/'
    QString resourceFolder; // language/, alarm/alarm.mp3, the icon; ends with '/'
    QString settingsPath;   // dataFolder + "<executable base name>.ini"
    QString storePath;      // dataFolder + "stickies.ini", or in the store folder
    // The store folder when the settings name one (a folder that a file-sync engine shares between machines),
    // else dataFolder; ends with '/'. The store and its lock lie there; the trash, the backups and the files
    // of recovered notes belong to this machine and stay in dataFolder.
    QString storeFolder;

    // Moves the store to folder (relative to the data folder; "~/" is the home folder), made when missing.
    // An empty folder keeps it in the data folder. False, and the store left in the data folder, when the
    // folder cannot be made.
    bool useStoreFolder(const QString &folder);
    bool hasOwnStoreFolder() const { return !storeFolder.isEmpty() && storeFolder != dataFolder; }
    // The lock of the running instance. In a shared folder it names this machine, so that a lock the engine
    // copies in from another machine never stops a start here.
    QString lockPath() const;

    // Portable when the executable's folder is writable or holds a store (both folders are that folder);
    // otherwise the data folder is $XDG_DATA_HOME/quillet/ (default ~/.local/share/quillet/, created when
    // missing) and the resource folder <prefix>/share/quillet/ where <prefix> is the executable folder's parent.
    static ProgramFolders forExecutable(const QString &executablePath);

    // True when a file can really be made in folder. Permission bits say little (root may write anywhere but
    // on a read-only mount, ACLs add rules of their own), so a probe file is made and removed.
    static bool canCreateFileIn(const QString &folder);
};
