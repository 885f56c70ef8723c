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
    for (int code : knownErrorCodes()) {
        const QString systemText = qt_error_string(code);
        if (!systemText.isEmpty() && error.text.contains(systemText)) {
            error.code = code;
            error.reason = reasonForCode(code);
            break;
        }
    }
    return error;
}

SystemError lastSystemError()
{
    SystemError error;
    error.code = lastErrorCode();
    error.reason = reasonForCode(error.code);
    if (error.code != 0)
        error.text = qt_error_string(error.code);
    return error;
}

} // namespace platform
