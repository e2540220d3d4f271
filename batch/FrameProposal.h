#pragma once

#include <cstdint>

#include "Transformer.h"

class TCropAspect;

/// What an image frame proposes for a newly added photo before anyone touches
/// it: the largest area of the aspect, flipped for a portrait photo when
/// autoFlip is set, centred on the frame's grid, and the resolution it gives.
struct TFrameProposal {
    TCropSpec Crop;
    bool Flipped = false;
    int32_t Resolution = -1;
};

/// The proposal for a photo of the given stored size.
// Kept apart so that it can give way to the image frame's own function.
TFrameProposal ProposeFrame(int32_t imageWidth, int32_t imageHeight, const TCropAspect& aspect,
                            bool autoFlip);
