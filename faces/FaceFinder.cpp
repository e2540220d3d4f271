#include "faces/FaceFinder.h"

#include <atomic>
#include <exception>
#include <memory>
#include <vector>

#include <dlib/image_processing/frontal_face_detector.h>

#include "jpeg/JpegThumbnail.h"
#include "jpeg/MetadataRecords.h"

namespace {
// The detector's window is 80 pixels: at about 800 pixels (the smallest of the
// decoder's scales that reaches 720) a face of a tenth of the picture's long
// side is found, at a cost of some 60 ms on one core.
constexpr int32_t kLongSide = 720;
// the detector's score a face in the enlarged picture must pass (0 in the first)
constexpr double kSmallFaceThreshold = 0.2;
// the levels of the enlarged picture's pyramid (each 5/6 of the one before) that
// hold faces smaller than the first look finds
constexpr unsigned long kSmallFaceLevels = 4;

std::atomic<uint64_t> detections{0};

/// The faces the XMP packet names, in stored pixels.
std::vector<TCropRect> NamedFaces(const TGreyPicture& picture) {
    std::vector<TCropRect> faces;
    if (picture.xmp.empty()) return faces;
    for (const TFaceRegion& r :
         ReadFaceRegions(picture.xmp, picture.layout.width, picture.layout.height))
        if (r.Type == "Face" && r.Area.width > 0 && r.Area.height > 0) faces.push_back(r.Area);
    return faces;
}

/// The detectors of this thread: one for faces of every size, and one that only
/// looks at the largest levels of its picture's pyramid, for the second look at
/// twice the size (its smaller levels repeat the first look). A detector keeps its
/// scratch while it looks, so each thread has its own, copied from ones made when
/// first asked for (making them takes some 0.4 s, a copy a few milliseconds).
struct TDetectors {
    dlib::frontal_face_detector all;
    dlib::frontal_face_detector small;
};

TDetectors& Detectors() {
    static const TDetectors made = [] {
        TDetectors d{dlib::get_frontal_face_detector(), {}};
        dlib::frontal_face_detector::image_scanner_type scanner;
        scanner.copy_configuration(d.all.get_scanner());
        scanner.set_max_pyramid_levels(kSmallFaceLevels);
        std::vector<dlib::frontal_face_detector::feature_vector_type> weights;
        for (unsigned long i = 0; i < d.all.num_detectors(); ++i)
            weights.push_back(d.all.get_w(i));
        d.small = dlib::frontal_face_detector(scanner, d.all.get_overlap_tester(), weights);
        return d;
    }();
    thread_local std::unique_ptr<TDetectors> detectors;
    if (!detectors) detectors = std::make_unique<TDetectors>(made);
    return *detectors;
}

/// The detector's faces in the grey picture, in stored pixels of the photo.
std::vector<TCropRect> DetectedFaces(const TGreyPicture& picture) {
    const TTurn turn = OrientationTurn(picture.layout.orientation);
    // the grey picture as a view of itself, turned upright
    TJpegView view;
    view.turn = turn;
    view.storedWidth = picture.width;
    view.storedHeight = picture.height;
    view.width = turn.Swaps() ? picture.height : picture.width;
    view.height = turn.Swaps() ? picture.width : picture.height;
    // each upright pixel's place in the stored rows, stepping as the turn does
    const TCropRect origin = FromView(view, {0, 0, 1, 1});
    const TCropRect right = FromView(view, {1, 0, 1, 1});
    const TCropRect down = FromView(view, {0, 1, 1, 1});
    const int64_t stride = picture.width;
    const int64_t start = origin.y * stride + origin.x;
    const int64_t stepX = (right.y - origin.y) * stride + (right.x - origin.x);
    const int64_t stepY = (down.y - origin.y) * stride + (down.x - origin.x);
    dlib::array2d<unsigned char> upright(view.height, view.width);
    for (int32_t y = 0; y < view.height; ++y) {
        const uint8_t* from = picture.pixels.data() + start + stepY * y;
        unsigned char* to = &upright[y][0];
        for (int32_t x = 0; x < view.width; ++x, from += stepX)
            to[x] = *from;
    }
    ++detections;
    TDetectors& detectors = Detectors();
    std::vector<dlib::rectangle> found = detectors.all(upright);
    if (found.empty()) {
        // no face of a tenth of the picture: people further away, at twice the
        // size, where only the surer finds count
        dlib::pyramid_up(upright);
        found = detectors.small(upright, kSmallFaceThreshold);
        for (dlib::rectangle& r : found)
            r = dlib::rectangle(r.left() / 2, r.top() / 2, r.right() / 2, r.bottom() / 2);
    }

    std::vector<TCropRect> faces;
    const double scaleX = double(picture.layout.width) / picture.width;
    const double scaleY = double(picture.layout.height) / picture.height;
    for (const dlib::rectangle& r : found) {
        const TCropRect box = FromView(view, {int32_t(r.left()), int32_t(r.top()),
                                              int32_t(r.width()), int32_t(r.height())});
        faces.push_back({int32_t(box.x * scaleX), int32_t(box.y * scaleY),
                         int32_t(box.width * scaleX), int32_t(box.height * scaleY)});
    }
    return faces;
}
} // namespace

TFoundFaces FindFaces(const std::string& fileName) {
    TFoundFaces found;
    try {
        const TGreyPicture picture = ReadJpegGrey(fileName, kLongSide, [&](const TGreyPicture& p) {
            found.Faces = NamedFaces(p);
            return found.Faces.empty();
        });
        if (!found.Faces.empty()) {
            found.Named = true;
            return found;
        }
        if (picture.width > 0 && picture.height > 0) found.Faces = DetectedFaces(picture);
    } catch (const std::exception&) {
        // a photo that cannot be read has no faces to keep; what else it has is
        // said where it is cropped
        found.Faces.clear();
    }
    return found;
}

uint64_t FaceDetections() {
    return detections;
}
