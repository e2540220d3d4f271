#pragma once

class TIFrame;

/// The main window's commands that an image frame asks for.
enum class TFrameCommand { Preview, CropCurrent, RotateLeft, RotateRight, Remove };

/// Implemented by the main window: the one way a frame's commands reach it. The
/// rotate and crop buttons and a double click in the editor (Preview) call it
/// directly, the popup menu only while IsEnabled allows the command. The frame
/// passed is the one the user acted in; the window makes it current first.
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
