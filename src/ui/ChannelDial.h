#pragma once

#include <optional>

#include "checker/TransferChannel.h"
#include "ui/Artwork.h"

namespace ui
{

/// The dial picture (1..12, see dialPictures) a channel's indicator shows for what the checker says it shows:
/// the idle picture when nothing is in progress, and for a state 0..10 of its request the dial turned one
/// twelfth further per state, so state 0 shows picture 2 and state 10 picture 12. The final states 11 and 12
/// bring the dial back to the idle picture.
inline int dialPicture(std::optional<checker::TransferChannel::State> state)
{
    if (!state || *state < checker::TransferChannel::icNone || *state >= checker::TransferChannel::icError)
        return IdleDialPicture;
    return int(*state) + 2;
}

} // namespace ui
