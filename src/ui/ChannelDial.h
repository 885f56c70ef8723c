#pragma once

#include <optional>

#include "checker/TransferChannel.h"
#include "ui/Artwork.h"

namespace ui
{

/// The dial picture (1..12, see dialPictures) a channel's indicator shows for what the checker says it shows: the idle
/// picture when nothing is in progress, and for each stage of a request the dial turned further, so that it turns
/// forwards as the request goes on: the name's look-up (picture 3, the mark at two o'clock), the connection (5), the
/// request being sent (7) and gone (8), the answer coming in (10), the connection closed (12). The end of the request
/// brings it back to the idle picture.
inline int dialPicture(std::optional<checker::TransferChannel::Stage> stage)
{
    using Stage = checker::TransferChannel::Stage;
    if (!stage)
        return IdleDialPicture;
    switch (*stage) {
    case Stage::Resolving:
        return 3;
    case Stage::Connecting:
        return 5;
    case Stage::Sending:
        return 7;
    case Stage::Waiting:
        return 8;
    case Stage::Receiving:
        return 10;
    case Stage::Closing:
        return 12;
    }
    return IdleDialPicture;
}

} // namespace ui
