#pragma once

#include <QByteArray>
#include <QString>

// The files "Save as" writes from one note: a .stc file (NoteStore::saveStickieFile), its text as plain text
// (.txt) or as RTF (.rtf). The extension of the file's name, in any letter case, decides the format.
namespace NoteExport {

enum class Format { None, Stickie, Text, Rtf };

// The format the extension of path names; None for any other extension.
Format formatOf(const QString &path);
// The name with the extension of save filter index (1 .stc, 2 .txt, 3 .rtf) in place of its own; any other
// index leaves it as it is.
QString withFilterExtension(const QString &name, int filterIndex);
// The plain text of a note as a .txt file holds it.
QByteArray plainTextFile(QString text);
// Writes content as the whole file. Throws AppError("Cannot create file <full path>").
void writeFile(const QString &path, const QByteArray &content);

} // namespace NoteExport
