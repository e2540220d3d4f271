#pragma once

#include <cstdint>
#include <vector>

#include "jpeg/JpegLayout.h"

/// Where a proposed crop area of the given size goes so that it keeps the
/// faces of the picture whole. Everything is in pixels of one view of the
/// picture (width x height); the area keeps its size and only slides.
///
/// An area that already holds every face with room around it (half a face
/// height above, a quarter of its width to each side, a fifth of its height
/// below) stays where it is. Otherwise it is centred on the faces' span, as
/// far as they all fit; where they cannot all fit, it keeps the faces of the
/// largest total area whole. The corner keeps to the grid (gridX, gridY),
/// inside the picture, as every area does.
TCropRect SlideToFaces(int32_t width, int32_t height, const TCropRect& area, int32_t gridX,
                       int32_t gridY, const std::vector<TCropRect>& faces);

/// A face of the stored picture in a view of it, cut to the view; empty
/// (zero width) when it lies outside.
TCropRect FaceInView(const TJpegView& view, const TCropRect& storedFace);
/// The faces of the stored picture that the view shows, in its pixels.
std::vector<TCropRect> FacesInView(const TJpegView& view, const std::vector<TCropRect>& storedFaces);
