#include "model/PhotoEdit.h"

#include "model/CropAspectList.h"
#include "model/FaceSlide.h"

namespace {
/// The aspect the photo has chosen: by its description, as the list may have
/// been edited since; else where it was; -1 when the list has neither.
int AspectIndexOf(const TOrderPhoto& photo, const TCropAspectList& aspects) {
    for (int i = 0; i < aspects.Count(); ++i)
        if (aspects.Items(i).Description() == photo.Choice.Aspect) return i;
    const int i = photo.Choice.AspectIndex;
    return i >= 0 && i < aspects.Count() ? i : -1;
}

std::vector<TCropRect> FacesShown(const TOrderPhoto& photo, const TCropArea& area) {
    if (photo.Faces.empty()) return {};
    return FacesInView(ViewOfPhoto(photo, area.Rotation()), photo.Faces);
}

/// The aspect at index proposed in the area with the flip, keeping the faces.
void Propose(TOrderPhoto& photo, TCropArea& area, const TCropAspectList& aspects, int index) {
    if (index < 0) return;
    const TCropAspect& aspect = aspects.Items(index);
    photo.Choice.AspectIndex = index;
    photo.Choice.Aspect = aspect.Description();
    area.Propose(KindOfUnit(aspect.Unit()), aspect.Horizontal(), aspect.Vertical(),
                 photo.Choice.Flipped);
    area.KeepFaces(FacesShown(photo, area));
    TakeArea(photo, area, aspects);
}
} // namespace

TJpegView ViewOfPhoto(const TOrderPhoto& photo, int32_t rotation) {
    TJpegLayout shown = photo.Source;
    shown.orientation = photo.Orientation;
    return ViewOf(shown, true, rotation);
}

void TakeArea(TOrderPhoto& photo, const TCropArea& area, const TCropAspectList& aspects) {
    photo.Choice.Rotation = area.Rotation();
    photo.Choice.Crop = area.GetCrop();
    photo.Kind = area.Kind();
    const int index = AspectIndexOf(photo, aspects);
    photo.Resolution =
        index < 0 ? -1 : aspects.Items(index).GetPPI(area.CropWidth(), photo.Choice.Flipped);
}

TOrderPhoto NewPhoto(const std::string& file, const TJpegLayout& layout, bool incomplete,
                     const TCropAspectList& aspects, const TFirstChoice& how,
                     const std::string& destName, TCropArea& area) {
    TOrderPhoto photo;
    photo.Choice.File = file;
    photo.Choice.DestName = destName;
    photo.Source = layout;
    photo.Orientation = how.HonourOrientation ? layout.orientation : 1;
    photo.Incomplete = incomplete;
    area = TCropArea();
    area.UseBlockGrid();
    area.SetWholeBlockPortrait(how.WholeBlockPortrait);
    area.Open(ViewOfPhoto(photo, 0));
    area.SetCropVisible(true);
    photo.Choice.Flipped = how.AutoFlip && area.IsPortrait();
    Propose(photo, area, aspects, aspects.Count() > 0 ? aspects.DefaultIndex() : -1);
    area.Center();
    TakeArea(photo, area, aspects);
    return photo;
}

TCropArea AreaOfPhoto(const TOrderPhoto& photo, const TCropAspectList& aspects,
                      bool wholeBlockPortrait) {
    TCropArea area;
    area.UseBlockGrid();
    area.SetWholeBlockPortrait(wholeBlockPortrait);
    area.Open(ViewOfPhoto(photo, 0));
    area.SetCropVisible(true);
    const int32_t turn = photo.Choice.Rotation;
    if (turn != 0) area.Turn(turn, ViewOfPhoto(photo, turn));
    const TCropRect& crop = photo.Choice.Crop;
    const int index = AspectIndexOf(photo, aspects);
    if (index >= 0) {
        const TCropAspect& aspect = aspects.Items(index);
        area.Propose(KindOfUnit(aspect.Unit()), aspect.Horizontal(), aspect.Vertical(),
                     photo.Choice.Flipped);
    } else if (crop.width > 0 && crop.height > 0) {
        // an aspect the list no longer has: the area's own proportions stand for it
        area.Propose(photo.Kind, crop.width, crop.height, false);
    }
    area.Restore(crop);
    return area;
}

void ChooseAspect(TOrderPhoto& photo, TCropArea& area, const TCropAspectList& aspects, int index,
                  bool autoFlip) {
    if (index < 0 || index >= aspects.Count()) return;
    photo.Choice.Flipped = autoFlip && area.IsPortrait();
    Propose(photo, area, aspects, index);
}

void ToggleFlip(TOrderPhoto& photo, TCropArea& area, const TCropAspectList& aspects) {
    photo.Choice.Flipped = !photo.Choice.Flipped;
    Propose(photo, area, aspects, AspectIndexOf(photo, aspects));
}

void TurnPhoto(TOrderPhoto& photo, TCropArea& area, const TCropAspectList& aspects,
               int32_t degrees) {
    const int32_t old = area.Rotation();
    if (!area.Turn(degrees, ViewOfPhoto(photo, degrees))) return;
    // the area turned its aspect with the picture: the flip follows without a new proposal
    if ((degrees - old + 360) % 180 == 90 && (area.Kind() == "defined" || area.Kind() == "fixed"))
        photo.Choice.Flipped = !photo.Choice.Flipped;
    TakeArea(photo, area, aspects);
}

void SlidePhotoToFaces(TOrderPhoto& photo, TCropArea& area, const TCropAspectList& aspects) {
    if (area.KeepFaces(FacesShown(photo, area))) TakeArea(photo, area, aspects);
}
