#pragma once

class TIFrame;

/// The main window's commands that an image frame's popup menu offers.
enum class TFrameCommand { Preview, CropCurrent, RotateLeft, RotateRight, Remove };

/// Implemented by the main window: the popup menu runs these directly and
/// sends no event. The frame passed is the one whose menu was used; a right
/// press in its editor has already made it the current frame.
class IFrameCommands {
public:
    virtual ~IFrameCommands() = default;
    virtual void Preview(TIFrame& frame) = 0;
    virtual void CropCurrent(TIFrame& frame) = 0;
    virtual void RotateLeft(TIFrame& frame) = 0;
    virtual void RotateRight(TIFrame& frame) = 0;
    virtual void Remove(TIFrame& frame) = 0;
    /// Whether the command can run now (the main window disables the image
    /// commands while no frame is current).
    virtual bool IsEnabled(TFrameCommand command) const = 0;
};
