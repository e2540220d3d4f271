#include "FrameProposal.h"

#include "CropArea.h"
#include "CropAspect.h"

namespace {
// the steps of the image frame's aspect choice: apply, largest area, centre
void ApplyAspect(TCropArea& area, const TCropAspect& aspect, bool flipped) {
    const std::string& unit = aspect.Unit();
    std::string kind = "defined";
    if (unit == "nocrop" || unit == "free")
        kind = unit;
    else if (unit == "pixels")
        kind = "fixed";
    if (flipped)
        area.SetAspect(kind, aspect.Vertical(), aspect.Horizontal());
    else
        area.SetAspect(kind, aspect.Horizontal(), aspect.Vertical());
    area.Maximize();
    area.Center();
}
} // namespace

TFrameProposal ProposeFrame(int32_t imageWidth, int32_t imageHeight, const TCropAspect& aspect,
                            bool autoFlip) {
    TCropArea area;
    // the image frame's grid: the lossless cut starts on 16-pixel blocks
    area.SetGrid(16, 16, 1, 1);
    TThumbnail sizes; // only the sizes matter here, no picture
    sizes.imageWidth = imageWidth;
    sizes.imageHeight = imageHeight;
    sizes.imageRatio = double(imageWidth) / double(imageHeight);
    sizes.thumbWidth = 1;
    sizes.thumbHeight = 1;
    area.LoadThumbnail("", std::move(sizes));
    TFrameProposal proposal;
    ApplyAspect(area, aspect, false);
    area.SetCropVisible(true);
    if (autoFlip && imageWidth < imageHeight) {
        proposal.Flipped = true;
        ApplyAspect(area, aspect, true);
    }
    area.Center();

    const TCropRect r = area.GetCrop();
    proposal.Crop.X = r.x;
    proposal.Crop.Y = r.y;
    proposal.Crop.Width = r.width;
    proposal.Crop.Height = r.height;
    proposal.Crop.Rotation = area.Rotation();
    proposal.Crop.Kind = area.Kind();
    proposal.Resolution = aspect.GetPPI(r.width, proposal.Flipped);
    return proposal;
}
