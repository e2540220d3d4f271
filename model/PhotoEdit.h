#pragma once

#include <cstdint>
#include <string>

#include "model/CropArea.h"
#include "model/PrintOrder.h"

class TCropAspectList;

/// What a photo of the order is edited with when no frame shows it: its record
/// and its crop area move together, as a frame moves them, so that a photo far
/// from the view turns, takes an aspect or flips exactly as a shown one does.

/// How a new photo's first choice is made.
struct TFirstChoice {
    bool AutoFlip = true;           ///< a portrait view gets its aspect flipped
    bool HonourOrientation = true;  ///< shown upright by its EXIF orientation
    bool WholeBlockPortrait = false; ///< portrait heights keep to whole blocks
};

/// The view of the photo in the given turn, upright as the record says.
TJpegView ViewOfPhoto(const TOrderPhoto& photo, int32_t rotation);

/// A photo just listed: the file's header read, the list's default aspect
/// proposed (flipped for a portrait view), centred; named destName.
TOrderPhoto NewPhoto(const std::string& file, const TJpegLayout& layout, bool incomplete,
                     const TCropAspectList& aspects, const TFirstChoice& how,
                     const std::string& destName, TCropArea& area);

/// The area the record describes, rebuilt (the turns before it are not known).
TCropArea AreaOfPhoto(const TOrderPhoto& photo, const TCropAspectList& aspects,
                      bool wholeBlockPortrait);

/// The aspect at index of the list, the largest area of it centred (and keeping
/// the faces); flipped for a portrait view when autoFlip is set.
void ChooseAspect(TOrderPhoto& photo, TCropArea& area, const TCropAspectList& aspects, int index,
                  bool autoFlip);
/// The aspect flipped, proposed again.
void ToggleFlip(TOrderPhoto& photo, TCropArea& area, const TCropAspectList& aspects);
/// Turns the photo to 0, 90, 180 or 270 degrees clockwise; the area turns with it.
void TurnPhoto(TOrderPhoto& photo, TCropArea& area, const TCropAspectList& aspects,
               int32_t degrees);
/// The area slid to keep the photo's faces whole.
void SlidePhotoToFaces(TOrderPhoto& photo, TCropArea& area, const TCropAspectList& aspects);
/// The record brought in line with the area: the crop, its kind and resolution.
void TakeArea(TOrderPhoto& photo, const TCropArea& area, const TCropAspectList& aspects);
