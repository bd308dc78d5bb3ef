#include "model/note_search.h"

#include "model/note.h"
#include "model/note_list.h"

#include <QRegularExpression>

QStringList NoteSearch::words(const QString &query)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return query.split(blanks, Qt::SkipEmptyParts);
}

bool NoteSearch::matches(const QStringList &words, const QString &title, const QString &text)
{
    // Qt's case-insensitive comparison folds letter case only: an accented letter stays another letter.
    return std::all_of(words.cbegin(), words.cend(), [&](const QString &word) {
        return title.contains(word, Qt::CaseInsensitive) || text.contains(word, Qt::CaseInsensitive);
    });
}

QList<Note *> NoteSearch::find(const NoteList &list, const QString &query)
{
    const QStringList queryWords = words(query);
    QList<Note *> found;
    for (Note *note : list.notes()) {
        if (matches(queryWords, note->title(), note->plainText()))
            found.append(note);
    }
    return found;
}

NoteSearch::Match NoteSearch::firstMatch(const QStringList &words, const QString &text)
{
    Match first;
    for (const QString &word : words) {
        const qsizetype at = text.indexOf(word, 0, Qt::CaseInsensitive);
        if (at >= 0 &&
            (!first.isValid() || at < first.position || (at == first.position && word.size() > first.length)))
            first = {at, word.size()};
    }
    return first;
}

QString NoteSearch::firstLine(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("[\\n\\r\\x{2028}\\x{2029}]"));
    for (const QString &line : text.split(lineBreak)) {
        if (!line.trimmed().isEmpty())
            return line.trimmed();
    }
    return {};
}
