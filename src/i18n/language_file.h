#pragma once

#include "store/profile.h"

#include <QString>
#include <QStringView>

// One language file, "<language folder>/<language name>.ini", read whole when the object is made and never
// written. Its section "Interface" maps text keys (see TextCatalog) to texts. An apply operation makes one
// object, reads its keys and drops it, so a file edited while the program runs counts at the next apply.
//
// A file that is valid UTF-8 (with or without a byte order mark) is read as UTF-8; any other file is 8-bit
// text in the code page of its language, as files made for older systems are. A missing, unreadable or
// oversized file behaves as an empty one: every text falls back.
class LanguageFile {
public:
    // Longer texts are cut to this many characters.
    static constexpr qsizetype maxTextLength = 2047;
    // Every catalog text at full length in three-byte UTF-8 stays under half of this, so a bigger file is
    // no language file; it counts as unreadable rather than being read into memory.
    static constexpr qint64 maxFileSize = 1024 * 1024;

    LanguageFile(const QString &languageFolder, const QString &languageName);

    // Whether a file was found and read.
    bool isLoaded() const { return m_loaded; }

    // The key's text from section "Interface" (names match regardless of letter case, blanks around the
    // value and one pair of enclosing quotes are dropped, an empty value is an empty text), cut to
    // maxTextLength; the fallback, unchanged, when the file, the section or the key is missing.
    QString text(QStringView key, const QString &fallback) const;

    // The folder "language" among the program's resources (a folder path ending with '/').
    static QString folderIn(const QString &resourceFolder) { return resourceFolder + QStringLiteral("language"); }
    // A name is a plain file name: not empty, and without "/", "\\", "..", ":" (a drive or a stream on
    // Windows) or NUL, so no name reaches outside the language folder.
    static bool isSafeName(QStringView languageName);
    // The file's path, or an empty text for a name that is not safe.
    static QString filePath(const QString &languageFolder, const QString &languageName);

private:
    Profile m_profile;
    bool m_loaded = false;
};
