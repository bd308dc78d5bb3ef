#pragma once

#include "base/app_error.h"

// A failure of the tray icon control. The code tells the cases apart for callers that care; the message is what
// the error dialog shows.
class ETrayIconError : public AppError {
public:
    enum Code {
        AddFailed = 119,
        UpdateFailed = 121,
        SecondInstance = 133,
        NoImageList = 135,
    };

    // Takes the message belonging to code; a code outside the table gets the general "Tray icon error".
    explicit ETrayIconError(int code);

    int code() const { return m_code; }

    static QString messageFor(int code);

private:
    int m_code;
};
