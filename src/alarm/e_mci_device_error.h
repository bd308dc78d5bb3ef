#pragma once

#include "base/app_error.h"

// A failure of the sound device under the MP3 player: the device's error code and its own text, shown as
// "<code> - <text>".
class eMciDeviceError : public AppError {
public:
    eMciDeviceError(int code, const QString &text);

    int code() const { return m_code; }

private:
    int m_code;
};
