#include "widgets/e_tray_icon_error.h"

namespace {

struct CodeMessage {
    int code;
    const char *message;
};

constexpr CodeMessage kMessages[] = {
    {ETrayIconError::AddFailed, "Error adding tray icon"},
    {ETrayIconError::UpdateFailed, "Tray icon error"},
    {ETrayIconError::SecondInstance, "Cannot have more than one StTrayIcon per application"},
    {ETrayIconError::NoImageList, "ImageList is not assigned"},
};

} // namespace

ETrayIconError::ETrayIconError(int code)
    : AppError(messageFor(code))
    , m_code(code)
{}

QString ETrayIconError::messageFor(int code)
{
    for (const CodeMessage &entry : kMessages) {
        if (entry.code == code)
            return QString::fromLatin1(entry.message);
    }
    return messageFor(UpdateFailed);
}
