#include "i18n/languages.h"

namespace Languages {

const Language *find(QStringView name)
{
    for (const Language &language : list) {
        if (name.compare(QStringView(language.name), Qt::CaseInsensitive) == 0)
            return &language;
    }
    return nullptr;
}

int codePage(QStringView name)
{
    const Language *language = find(name);
    return language ? language->codePage : 1252;
}

QString qtCode(QStringView name)
{
    const Language *language = find(name);
    return language ? QString::fromLatin1(language->qtCode) : QString();
}

} // namespace Languages
