#include "platform/code_page.h"

#include <windows.h>

// The system's own conversion, which knows every Windows code page.
namespace CodePage {

QString decode(int codePage, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    const UINT page = IsValidCodePage(UINT(codePage)) ? UINT(codePage) : 1252;
    const int size = MultiByteToWideChar(page, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(page, 0, bytes.constData(), int(bytes.size()), reinterpret_cast<wchar_t *>(text.data()), size);
    return text;
}

bool encode(int codePage, const QString &text, QByteArray *bytes)
{
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(UINT(codePage), 0, wide, int(text.size()), nullptr, 0, nullptr, &lossy);
    if (size == 0 && !text.isEmpty())
        return false;
    QByteArray result(size, Qt::Uninitialized);
    WideCharToMultiByte(UINT(codePage), 0, wide, int(text.size()), result.data(), size, nullptr, &lossy);
    if (lossy)
        return false;
    if (bytes)
        *bytes = result;
    return true;
}

} // namespace CodePage
