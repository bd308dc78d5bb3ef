#include "store/note_export.h"

#include "base/app_error.h"
#include "store/profile.h"

#include <QFileInfo>

#include <algorithm>
#include <iterator>

namespace {

constexpr const char *saveExtensions[] = {".stc", ".txt", ".rtf"};

} // namespace

namespace NoteExport {

Format formatOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot).toLower();
    if (extension == QLatin1String(".stc"))
        return Format::Stickie;
    if (extension == QLatin1String(".txt"))
        return Format::Text;
    if (extension == QLatin1String(".rtf"))
        return Format::Rtf;
    return Format::None;
}

QString withFilterExtension(const QString &name, int filterIndex)
{
    if (filterIndex < 1 || filterIndex > int(std::size(saveExtensions)))
        return name;
    // The extension is what follows the last dot after the last folder separator.
    const qsizetype separator = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > separator ? name.left(dot) : name;
    return stem + QLatin1String(saveExtensions[filterIndex - 1]);
}

QByteArray plainTextFile(QString text)
{
    // Plain text as the platform keeps it: CR LF between lines and one after the last.
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text.toUtf8() + "\r\n";
}

void writeFile(const QString &path, const QByteArray &content)
{
    if (!Profile::writeWholeFile(path, content))
        throw AppError(QStringLiteral("Cannot create file %1").arg(QFileInfo(path).absoluteFilePath()));
}

} // namespace NoteExport
