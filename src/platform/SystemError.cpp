#include "platform/SystemError.h"

namespace platform
{

SystemError systemErrorOf(const QFileDevice& device)
{
    SystemError error;
    error.fileError = device.error();
    error.text = device.errorString();
    if (error.fileError == QFileDevice::NoError)
        return error;
    error.reason = SystemReason::Other;
    // Qt puts the system's text for the code into its own message ("Failure to write block: %1"); the same
    // function gives the text for each known code, in whatever language Qt and the system speak.
    for (const CodeReason& known : platformErrorCodes()) {
        const QString systemText = qt_error_string(known.code);
        if (!systemText.isEmpty() && error.text.contains(systemText)) {
            error.code = known.code;
            error.reason = known.reason;
            break;
        }
    }
    return error;
}

SystemReason reasonForCode(int code)
{
    if (code == 0)
        return SystemReason::None;
    for (const CodeReason& known : platformErrorCodes()) {
        if (known.code == code)
            return known.reason;
    }
    return SystemReason::Other;
}

SystemError systemErrorOfCode(int code)
{
    SystemError error;
    error.code = code;
    error.reason = reasonForCode(code);
    if (code != 0)
        error.text = qt_error_string(code);
    return error;
}

SystemError lastSystemError()
{
    return systemErrorOfCode(lastErrorCode());
}

} // namespace platform
