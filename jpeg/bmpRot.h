#pragma once

#include "jpeg/Bitmap.h"
#include "jpeg/JpegLayout.h"

// Quarter and half turns and the mirror image of a device-independent bitmap.
// Each replaces the given bitmap by a turned copy; the headers are carried over.

/// Turns the picture 90 degrees counter-clockwise: pixel (x, y) goes to (y, W-1-x).
void Rotate90Left(TBitmap& bitmap);
/// Turns the picture 90 degrees clockwise; the same as Rotate90Left then Rotate180.
void Rotate90Right(TBitmap& bitmap);
/// Mirrors the picture horizontally and vertically.
void Rotate180(TBitmap& bitmap);
/// Mirrors the picture left to right: pixel (x, y) goes to (W-1-x, y).
void MirrorHorizontal(TBitmap& bitmap);
/// Mirrors, then turns the picture clockwise, as the turn says.
void TurnBitmap(TBitmap& bitmap, const TTurn& turn);
