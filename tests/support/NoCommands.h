#pragma once

#include "frames/FrameCommands.h"

/// A window that answers none of a frame's commands, for lists tested without one.
class TNoCommands : public IFrameCommands {
public:
    void Preview(TIFrame&) override {}
    void CropCurrent(TIFrame&) override {}
    void RotateLeft(TIFrame&) override {}
    void RotateRight(TIFrame&) override {}
    void Remove(TIFrame&) override {}
    bool IsEnabled(TFrameCommand) const override { return true; }
};
