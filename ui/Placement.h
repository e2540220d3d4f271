#pragma once

#include <string>

#include <QMargins>
#include <QRect>

class QWidget;
class TStorageTank;

/// How a window is placed: at a stored position (not centred by the program)
/// and whether the user may resize it. Only what applies is stored.
struct TPlacementKind {
    bool keepsPosition = true;
    bool resizable = true;
};

/// "Spatial_" + form name + suffix ("_WindowState", "_Left", "_Top", "_Width", "_Height").
std::string PlacementKey(const std::string& formName, const char* suffix);

/// Writes the window's state, and in the normal state its position and size.
void savePlacement(TStorageTank& store, const QWidget& form, const std::string& formName,
                   TPlacementKind kind);
/// Restores what savePlacement wrote; keys that are absent leave the design values.
void restorePlacement(const TStorageTank& store, QWidget& form, const std::string& formName,
                      TPlacementKind kind);

/// The stored rectangle (a window's inside) moved and, if it must, shrunk so that the whole
/// of it and its frame lie within the screen's available area: a size saved on a larger
/// screen never hides the window's edges, and a window near an edge keeps its title bar
/// on the screen.
QRect FitToScreen(const QRect& stored, const QRect& available, const QMargins& frame = {});

/// Moves and, if it must, shrinks a shown window so that its frame, as the window system
/// has told it by now, lies within the available area of its screen: the stored place was
/// fitted before the frame was known, and a title bar at a scale of 2 is twice as high.
/// Does nothing while the frame is unknown or the window is maximised; false while the
/// frame is still unknown, so the caller may try again later.
bool KeepFrameOnScreen(QWidget& form);
