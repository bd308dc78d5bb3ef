#include "alarm/e_mci_device_error.h"

eMciDeviceError::eMciDeviceError(int code, const QString &text)
    : AppError(QStringLiteral("%1 - %2").arg(code).arg(text))
    , m_code(code)
{}
