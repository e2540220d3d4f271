#include "jpeg/ExifThumbnail.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <exception>

#include <jpeglib.h>

#include "jpeg/JpegThumbnail.h"
#include "jpeg/bmpRot.h"

namespace {
// ---------------------------------------------------------------------------
// Plain C-style state for libjpeg: no C++ object lives between the setjmp in
// EncodeGuarded and libjpeg's longjmp.

struct TEncodeError {
    jpeg_error_mgr pub; // first, so libjpeg's pointer converts back
    jmp_buf jump;
};

struct TEncodeJob {
    jpeg_compress_struct cinfo;
    TEncodeError err;
    bool created;
    unsigned char* out;
    unsigned long outSize;
    const uint8_t* pixels; // the bitmap's rows, bottom row first, BGR
    std::size_t rowSize;
    int width, height, quality;
};

[[noreturn]] void OnEncodeError(j_common_ptr c) {
    std::longjmp(reinterpret_cast<TEncodeError*>(c->err)->jump, 1);
}

void OnEncodeMessage(j_common_ptr, int) {} // the library never prints

bool EncodeGuarded(TEncodeJob* job) {
    if (setjmp(job->err.jump)) return false;
    jpeg_compress_struct* c = &job->cinfo;
    jpeg_create_compress(c);
    job->created = true;
    jpeg_mem_dest(c, &job->out, &job->outSize);
    c->image_width = JDIMENSION(job->width);
    c->image_height = JDIMENSION(job->height);
    c->input_components = 3;
    c->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(c);
    jpeg_set_quality(c, job->quality, TRUE);
    c->optimize_coding = TRUE;
    c->write_JFIF_header = FALSE; // the EXIF data around it says what it is
    jpeg_start_compress(c, TRUE);
    while (c->next_scanline < c->image_height) {
        // bitmap rows are stored bottom first
        const std::size_t stored = std::size_t(job->height - 1 - int(c->next_scanline));
        JSAMPROW row = const_cast<JSAMPROW>(job->pixels + stored * job->rowSize);
        jpeg_write_scanlines(c, &row, 1);
    }
    jpeg_finish_compress(c);
    return true;
}

std::optional<std::string> Encode(const TBitmap& bitmap, int quality) {
    TEncodeJob job;
    std::memset(&job, 0, sizeof job);
    job.cinfo.err = jpeg_std_error(&job.err.pub);
    job.err.pub.error_exit = OnEncodeError;
    job.err.pub.emit_message = OnEncodeMessage;
    job.pixels = bitmap.Bits();
    job.rowSize = bitmap.RowSize();
    job.width = bitmap.Width();
    job.height = bitmap.Height();
    job.quality = quality;
    const bool ok = EncodeGuarded(&job);
    std::optional<std::string> bytes;
    if (ok && job.out) bytes = std::string(reinterpret_cast<const char*>(job.out), job.outSize);
    if (job.created) jpeg_destroy_compress(&job.cinfo);
    std::free(job.out);
    return bytes;
}
// The smallest long side a thumbnail cut from the old one may have.
constexpr int32_t kMinCutSide = 64;

std::optional<std::string> EncodeFitting(const TBitmap& bitmap, std::size_t maxBytes) {
    for (const int quality : {75, 50, 30}) {
        const auto bytes = Encode(bitmap, quality);
        if (!bytes) return std::nullopt;
        if (bytes->size() <= maxBytes) return bytes;
    }
    return std::nullopt;
}
} // namespace

std::optional<std::string> MakeExifThumbnail(std::string_view jpeg, int32_t width, int32_t height,
                                             std::size_t maxBytes) {
    if (width <= 0 || height <= 0) return std::nullopt;
    // the thumbnail's height; its width follows the picture's proportions
    const int32_t side = kExifThumbnailSide;
    int32_t thumbHeight = height;
    if (std::max(width, height) > side)
        thumbHeight =
            height >= width
                ? side
                : std::max<int32_t>(1, int32_t(std::lround(double(side) * height / width)));
    TThumbnail t;
    try {
        t = ReadJpegThumbnail(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(), 0,
                              thumbHeight, {}, false);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    // a picture partly grey would show what the file does not hold
    if (t.truncated || t.bitmap.Empty() || t.bitmap.BitsPerPixel() != 24) return std::nullopt;
    return EncodeFitting(t.bitmap, maxBytes);
}

std::optional<std::string> CutExifThumbnail(std::string_view oldThumbnail, const TThumbnailCut& cut,
                                            std::size_t maxBytes) {
    const int64_t sw = cut.SourceWidth, sh = cut.SourceHeight;
    const TCropRect& r = cut.Stored;
    if (sw <= 0 || sh <= 0 || r.width <= 0 || r.height <= 0 || r.x < 0 || r.y < 0 ||
        r.x + int64_t(r.width) > sw || r.y + int64_t(r.height) > sh)
        return std::nullopt;
    const auto* data = reinterpret_cast<const uint8_t*>(oldThumbnail.data());
    TThumbnail t;
    try {
        // first its size, then the whole thumbnail at full scale
        const int32_t height =
            ReadJpegThumbnail(data, oldThumbnail.size(), 0, 1, {}, false).layout.height;
        t = ReadJpegThumbnail(data, oldThumbnail.size(), 0, height, {}, false);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const int64_t tw = t.bitmap.Width(), th = t.bitmap.Height();
    // a thumbnail in other proportions has bars or shows a part: its region is not the cut's
    if (t.truncated || t.bitmap.BitsPerPixel() != 24 || tw <= 0 || th <= 0 ||
        std::abs(tw * sh - th * sw) * 50 > tw * sh)
        return std::nullopt;
    const int64_t x0 = r.x * tw / sw, y0 = r.y * th / sh;
    const int64_t x1 = std::min(tw, (int64_t(r.x) + r.width) * tw / sw + 1);
    const int64_t y1 = std::min(th, (int64_t(r.y) + r.height) * th / sh + 1);
    if (std::max(x1 - x0, y1 - y0) < kMinCutSide) return std::nullopt;
    TBitmap region(int32_t(x1 - x0), int32_t(y1 - y0), 24);
    for (int32_t y = 0; y < region.Height(); ++y)
        std::memcpy(region.ScanLine(y), t.bitmap.ScanLine(int32_t(y0) + y) + 3 * x0,
                    std::size_t(region.Width()) * 3);
    if (cut.Turn.mirror) MirrorHorizontal(region);
    if (cut.Turn.quarters == 1)
        Rotate90Right(region);
    else if (cut.Turn.quarters == 2)
        Rotate180(region);
    else if (cut.Turn.quarters == 3)
        Rotate90Left(region);
    return EncodeFitting(region, maxBytes);
}
