#include "store/revision.h"

#include <QStringList>

#include <algorithm>

Revision Revision::fromString(QStringView text)
{
    Revision revision;
    for (QStringView pair : text.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype colon = pair.lastIndexOf(u':');
        if (colon <= 0)
            continue;
        bool ok = false;
        const qint64 count = pair.sliced(colon + 1).toLongLong(&ok);
        if (ok && count > 0)
            revision.m_counts.insert(pair.first(colon).toString(), count);
    }
    return revision;
}

QString Revision::toString() const
{
    QStringList pairs;
    for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
        pairs.append(it.key() + QLatin1Char(':') + QString::number(it.value()));
    return pairs.join(QLatin1Char(' '));
}

qint64 Revision::total() const
{
    qint64 sum = 0;
    for (const qint64 count : m_counts)
        sum += count;
    return sum;
}

Revision Revision::advanced(const QString &machine) const
{
    Revision next = *this;
    ++next.m_counts[machine];
    return next;
}

Revision Revision::joined(const Revision &other) const
{
    Revision both = *this;
    for (auto it = other.m_counts.cbegin(); it != other.m_counts.cend(); ++it)
        both.m_counts[it.key()] = std::max(both.m_counts.value(it.key()), it.value());
    return both;
}

Revision::Order Revision::compare(const Revision &other) const
{
    bool ahead = false;
    bool behind = false;
    for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it) {
        const qint64 theirs = other.m_counts.value(it.key());
        ahead |= it.value() > theirs;
        behind |= it.value() < theirs;
    }
    for (auto it = other.m_counts.cbegin(); it != other.m_counts.cend(); ++it)
        behind |= !m_counts.contains(it.key());
    if (ahead && behind)
        return Order::Apart;
    return ahead ? Order::After : behind ? Order::Before : Order::Same;
}
