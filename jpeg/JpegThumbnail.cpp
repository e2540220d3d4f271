#include "jpeg/JpegThumbnail.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <jerror.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "jpeg/AreaScaler.h"
#include "jpeg/ExifDirectory.h"
#include "jpeg/ExifThumbnail.h"
#include "jpeg/bmpRot.h"

namespace {
using TExtended = long double;
constexpr std::size_t kReadChunk = 64 * 1024;
const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

// ---------------------------------------------------------------------------
// Plain C-style state for libjpeg. Every libjpeg call runs inside RunGuarded, and
// no C++ object lives in a frame between its setjmp and libjpeg's longjmp.

struct TErrorManager {
    jpeg_error_mgr pub; // first, so libjpeg's pointer converts back
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int maxScans;
};

struct TSource {
    jpeg_source_mgr pub; // first, as above
    FILE* file;
    JOCTET* buffer;
    bool atEnd; // the real data is used up; only fake end markers follow
};

using TRowSink = void (*)(void* context, JSAMPARRAY rows, int count);

struct TJob {
    jpeg_decompress_struct cinfo;
    TErrorManager err;
    TSource src;
    jpeg_progress_mgr progress;
    bool created;
    const uint8_t* memory;
    std::size_t memorySize;
    bool multiScan;
    JSAMPARRAY rows;
    int rowCount;
    TRowSink sink;
    void* sinkContext;
    JDIMENSION stopAt; // 0 until the data ran out during the scanline phase
    bool stopped;
};

[[noreturn]] void OnErrorExit(j_common_ptr c) {
    TErrorManager* err = reinterpret_cast<TErrorManager*>(c->err);
    (*c->err->format_message)(c, err->message);
    std::longjmp(err->jump, 1);
}

void OnEmitMessage(j_common_ptr c, int level) {
    if (level < 0) c->err->num_warnings++; // corrupt data is decoded as far as it goes
}

void OnOutputMessage(j_common_ptr) {} // the library never prints

void OnProgress(j_common_ptr c) {
    if (!c->is_decompressor) return;
    TErrorManager* err = reinterpret_cast<TErrorManager*>(c->err);
    // every progressive scan walks the whole coefficient buffer; bound the work
    if (reinterpret_cast<j_decompress_ptr>(c)->input_scan_number > err->maxScans) {
        std::snprintf(err->message, sizeof err->message, "Too many scans");
        std::longjmp(err->jump, 1);
    }
}

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr c) {
    TSource* src = reinterpret_cast<TSource*>(c->src);
    std::size_t n = 0;
    if (src->file && !src->atEnd) n = std::fread(src->buffer, 1, kReadChunk, src->file);
    if (n == 0) {
        // an end marker lets libjpeg finish what it has; the rest decodes grey
        src->atEnd = true;
        WARNMS(c, JWRN_JPEG_EOF);
        src->pub.next_input_byte = kFakeEoi;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    return TRUE;
}

void SkipInput(j_decompress_ptr c, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = c->src;
    while (count > long(src->bytes_in_buffer)) {
        count -= long(src->bytes_in_buffer);
        (*src->fill_input_buffer)(c);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= std::size_t(count);
}

void TermSource(j_decompress_ptr) {}

void StepReadHeader(TJob* job) {
    jpeg_create_decompress(&job->cinfo);
    job->created = true;
    TSource& src = job->src;
    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInput;
    src.pub.skip_input_data = SkipInput;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.pub.next_input_byte = job->memory;
    src.pub.bytes_in_buffer = job->memory ? job->memorySize : 0;
    job->cinfo.src = &src.pub;
    // the EXIF segment says which way up the picture is stored
    jpeg_save_markers(&job->cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&job->cinfo, TRUE);
}

void StepStart(TJob* job) {
    job->multiScan = jpeg_has_multiple_scans(&job->cinfo);
    jpeg_start_decompress(&job->cinfo);
}

void StepReadRows(TJob* job) {
    j_decompress_ptr c = &job->cinfo;
    // rows already in libjpeg's buffers when the data ran out are still real
    const JDIMENSION margin = JDIMENSION(2 * c->max_v_samp_factor * c->min_DCT_scaled_size);
    while (c->output_scanline < c->output_height) {
        const JDIMENSION n = jpeg_read_scanlines(c, job->rows, JDIMENSION(job->rowCount));
        job->sink(job->sinkContext, job->rows, int(n));
        if (n == 0) {
            job->stopped = true;
            return;
        }
        // a single-scan file that ran dry gives only grey from here on
        if (job->src.atEnd && !job->multiScan) {
            if (job->stopAt == 0) job->stopAt = c->output_scanline + margin;
            if (c->output_scanline >= job->stopAt) {
                job->stopped = true;
                return;
            }
        }
    }
}

bool RunGuarded(TJob* job, void (*step)(TJob*)) {
    if (setjmp(job->err.jump)) return false;
    step(job);
    return true;
}

// ---------------------------------------------------------------------------

/// Owns one decoder job and its file; frees both on every path.
class TDecoder {
public:
    TDecoder(FILE* file, const uint8_t* data, std::size_t size, std::string name = "")
        // not zeroed: every byte is read into before it is used, and a header read
        // that zeroed 64 KiB would cost more than the header itself
        : file_(file), buffer_(file ? new JOCTET[kReadChunk] : nullptr), name_(std::move(name)) {
        std::memset(&job_, 0, sizeof job_);
        job_.cinfo.err = jpeg_std_error(&job_.err.pub);
        job_.err.pub.error_exit = OnErrorExit;
        job_.err.pub.emit_message = OnEmitMessage;
        job_.err.pub.output_message = OnOutputMessage;
        job_.src.file = file;
        job_.src.buffer = buffer_.get();
        job_.memory = data;
        job_.memorySize = size;
    }
    ~TDecoder() {
        if (job_.created) jpeg_destroy_decompress(&job_.cinfo);
    }
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;

    TJob& Job() { return job_; }
    void Run(void (*step)(TJob*)) {
        job_.err.pub.msg_code = 0;
        if (!RunGuarded(&job_, step)) throw TError(KindOfFailure(), name_, job_.err.message);
    }
    /// Raises the fault of the file read here.
    [[noreturn]] void Fail(TErrorKind kind) { throw TError(kind, name_); }
    /// True when scan data follows the header, false when the file ends there.
    bool HasScanData() {
        TSource& src = job_.src;
        if (src.atEnd) return false;
        if (src.pub.bytes_in_buffer > 0) return true;
        if (!file_) return false;
        const std::size_t n = std::fread(src.buffer, 1, kReadChunk, file_.get());
        src.pub.next_input_byte = src.buffer;
        src.pub.bytes_in_buffer = n;
        return n > 0;
    }

private:
    /// What libjpeg's last error says about the file.
    TErrorKind KindOfFailure() const {
        switch (job_.err.pub.msg_code) {
        case JERR_NO_SOI:
            return TErrorKind::NotJpeg;
        // the limits bound the memory; a picture that needs more is too large
        case JERR_OUT_OF_MEMORY:
        case JERR_NO_BACKING_STORE:
        case JERR_IMAGE_TOO_BIG:
        case JERR_WIDTH_OVERFLOW:
            return TErrorKind::TooLarge;
        default:
            // a header that runs into the end of the data is a file cut short
            return job_.src.atEnd ? TErrorKind::CutShort : TErrorKind::Damaged;
        }
    }

    struct TCloser {
        void operator()(FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<FILE, TCloser> file_; // first, so it closes even if the rest fails
    std::unique_ptr<JOCTET[]> buffer_;
    std::string name_; // the file's path, for the fault; "" for data in memory
    TJob job_;
};

TJpegLayout LayoutOf(j_decompress_ptr c) {
    TJpegLayout l;
    l.width = int32_t(c->image_width);
    l.height = int32_t(c->image_height);
    // one component is cut in single blocks whatever its sampling factors say
    int h = 1, v = 1;
    if (c->num_components > 1)
        for (int i = 0; i < c->num_components; ++i) {
            h = std::max(h, c->comp_info[i].h_samp_factor);
            v = std::max(v, c->comp_info[i].v_samp_factor);
        }
    l.blockWidth = h * DCTSIZE;
    l.blockHeight = v * DCTSIZE;
    for (jpeg_saved_marker_ptr m = c->marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            l.orientation = ExifOrientation(m->data, m->data_length);
            break;
        }
    return l;
}

/// Receives decoded rows: CMYK becomes BGR here, then the scaler takes them.
/// Rows past the part shown are dropped.
struct TSinkState {
    TAreaScaler* scaler;
    bool cmyk;
    bool inverted;
    std::vector<uint8_t> bgr;
    JDIMENSION rowsLeft;
};

void SinkRows(void* context, JSAMPARRAY rows, int count) {
    TSinkState* s = static_cast<TSinkState*>(context);
    for (int r = 0; r < count && s->rowsLeft > 0; ++r, --s->rowsLeft) {
        if (!s->cmyk) {
            s->scaler->PushRow(rows[r]);
            continue;
        }
        const JSAMPLE* in = rows[r];
        uint8_t* out = s->bgr.data();
        const std::size_t width = s->bgr.size() / 3;
        for (std::size_t x = 0; x < width; ++x, in += 4, out += 3) {
            // Adobe files store 255 for no ink; others store the ink itself
            unsigned c = in[0], m = in[1], y = in[2], k = in[3];
            if (!s->inverted) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            out[0] = uint8_t((y * k + 127) / 255);
            out[1] = uint8_t((m * k + 127) / 255);
            out[2] = uint8_t((c * k + 127) / 255);
        }
        s->scaler->PushRow(s->bgr.data());
    }
}

TThumbnail Decode(TDecoder& decoder, int32_t rotation, int32_t surfaceHeight,
                  const TJpegLimits& limits, bool honourOrientation) {
    TJob& job = decoder.Job();
    job.err.maxScans = limits.maxScans;
    decoder.Run(StepReadHeader);
    if (!decoder.HasScanData()) decoder.Fail(TErrorKind::CutShort);
    j_decompress_ptr c = &job.cinfo;
    const uint64_t pixels = uint64_t(c->image_width) * uint64_t(c->image_height);
    if (pixels > limits.maxPixels) decoder.Fail(TErrorKind::TooLarge);

    TThumbnail t;
    t.layout = LayoutOf(c);
    t.orientation = honourOrientation ? t.layout.orientation : 1;
    const TJpegView view = ViewOf(t.layout, honourOrientation, rotation);
    const bool turned = view.turn.Swaps();
    t.imageWidth = view.width;
    t.imageHeight = view.height;
    t.blockWidth = view.blockWidth;
    t.blockHeight = view.blockHeight;
    t.imageRatio = double(t.imageWidth) / double(t.imageHeight);
    // a thumbnail of at least one pixel keeps the reduction factor finite
    t.thumbHeight = std::max(1, surfaceHeight);
    t.thumbWidth = std::max(1, ThumbWidthFor(t.thumbHeight, t.imageRatio));
    if (t.thumbHeight > kMaxThumbnailSide || t.thumbWidth > kMaxThumbnailSide) {
        const TExtended fit = std::min(TExtended(kMaxThumbnailSide) / t.thumbWidth,
                                       TExtended(kMaxThumbnailSide) / t.thumbHeight);
        t.thumbWidth = std::clamp(int32_t(t.thumbWidth * fit), 1, kMaxThumbnailSide);
        t.thumbHeight = std::clamp(int32_t(t.thumbHeight * fit), 1, kMaxThumbnailSide);
    }
    t.scaleDenominator =
        ScaleDenominatorFor(t.imageWidth, t.imageHeight, t.thumbWidth, t.thumbHeight);

    c->scale_num = 1;
    c->scale_denom = unsigned(t.scaleDenominator);
    const bool cmyk = c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK;
    // libjpeg-turbo writes BMP byte order itself, grey included; CMYK it cannot convert
    c->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    c->mem->max_memory_to_use = limits.maxMemory;
    job.progress.progress_monitor = OnProgress;
    c->progress = &job.progress;
    decoder.Run(StepStart);

    // drawn in the file's orientation, then turned
    const int32_t bw = turned ? t.thumbHeight : t.thumbWidth;
    const int32_t bh = turned ? t.thumbWidth : t.thumbHeight;
    TBitmap bitmap(bw, bh, 24);
    // the shown part starts at the stored origin; a left-out strip is whole blocks
    const auto shown = [&](int32_t part, int32_t whole, JDIMENSION scaled) {
        return part == whole ? scaled : JDIMENSION(part / t.scaleDenominator);
    };
    const JDIMENSION shownWidth = shown(view.storedWidth, t.layout.width, c->output_width);
    const JDIMENSION shownHeight = shown(view.storedHeight, t.layout.height, c->output_height);
    TAreaScaler scaler(int32_t(shownWidth), int32_t(shownHeight), bitmap);
    TSinkState sink{&scaler, cmyk, cmyk && c->saw_Adobe_marker,
                    std::vector<uint8_t>(cmyk ? std::size_t(c->output_width) * 3 : 0), shownHeight};
    const int rowCount = std::max(1, c->rec_outbuf_height);
    const std::size_t stride = std::size_t(c->output_width) * std::size_t(c->output_components);
    std::vector<JSAMPLE> rowData(stride * std::size_t(rowCount));
    std::vector<JSAMPROW> rows(static_cast<std::size_t>(rowCount));
    for (int i = 0; i < rowCount; ++i)
        rows[std::size_t(i)] = rowData.data() + stride * std::size_t(i);
    job.rows = rows.data();
    job.rowCount = rowCount;
    job.sink = SinkRows;
    job.sinkContext = &sink;
    decoder.Run(StepReadRows);
    if (job.stopped) {
        const std::vector<uint8_t> grey(std::size_t(c->output_width) * 3, 128);
        for (; sink.rowsLeft > 0; --sink.rowsLeft)
            scaler.PushRow(grey.data());
    }
    t.truncated = job.src.atEnd;

    if (view.turn.mirror) MirrorHorizontal(bitmap);
    if (view.turn.quarters == 1)
        Rotate90Right(bitmap);
    else if (view.turn.quarters == 3)
        Rotate90Left(bitmap);
    else if (view.turn.quarters == 2)
        Rotate180(bitmap);
    t.bitmap = std::move(bitmap);
    return t;
}
} // namespace

int32_t ThumbWidthFor(int32_t thumbHeight, double imageRatio) {
    const TExtended w = TExtended(thumbHeight) * TExtended(imageRatio);
    if (!(w >= 0)) return 0;
    if (w >= TExtended(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return int32_t(w);
}

int ScaleDenominatorFor(int32_t imageWidth, int32_t imageHeight, int32_t thumbWidth,
                        int32_t thumbHeight) {
    const double f = std::max(double(imageWidth) / double(thumbWidth),
                              double(imageHeight) / double(thumbHeight));
    // exactly 8, 4 or 2 takes the next larger scale
    if (f > 8) return 8;
    if (f > 4) return 4;
    if (f > 2) return 2;
    return 1;
}

namespace {
/// Why a photo could not be opened, judged from the file: gone, no file at
/// all, or refused by the system in its words.
TFault OpenFailure(const std::string& fileName, const std::string& reason) {
    struct stat st;
    if (stat(fileName.c_str(), &st) != 0)
        return {errno == ENOENT ? TErrorKind::Missing : TErrorKind::CannotRead, fileName, reason,
                ""};
    if (!S_ISREG(st.st_mode)) return {TErrorKind::NotAFile, fileName, reason, ""};
    return {TErrorKind::CannotRead, fileName, reason, ""};
}

/// The photo open as fd, as a stream that owns it; an empty file is refused.
FILE* OpenedPhoto(int fd, const std::string& fileName, TJpegLayout& stamped) {
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        const std::string reason = SystemErrorText(errno);
        ::close(fd);
        throw TError(TErrorKind::CannotRead, fileName, reason);
    }
    struct stat st;
    if (fstat(fileno(file), &st) == 0) {
        stamped.fileSize = uint64_t(st.st_size);
        stamped.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (st.st_size == 0) {
            std::fclose(file);
            throw TError(TErrorKind::Empty, fileName);
        }
    }
    return file;
}

// A FIFO or device named like a photo is refused at once instead of waited on.
// stamped receives the file's size and last write as opened.
FILE* OpenPhoto(const std::string& fileName, TJpegLayout& stamped) {
    std::string reason;
    const int fd = OpenRegularFile(fileName, reason);
    if (fd < 0) throw TError(OpenFailure(fileName, reason));
    return OpenedPhoto(fd, fileName, stamped);
}

void Stamp(TJpegLayout& layout, const TJpegLayout& stamped) {
    layout.fileSize = stamped.fileSize;
    layout.modifiedNs = stamped.modifiedNs;
}

TJpegLayout LayoutOfOpened(FILE* file, const std::string& fileName, const TJpegLayout& stamped) {
    TDecoder decoder(file, nullptr, 0, fileName);
    decoder.Run(StepReadHeader);
    TJpegLayout layout = LayoutOf(&decoder.Job().cinfo);
    Stamp(layout, stamped);
    return layout;
}
} // namespace

TThumbnail ReadJpegThumbnail(const std::string& fileName, int32_t rotation, int32_t surfaceHeight,
                             const TJpegLimits& limits, bool honourOrientation) {
    TJpegLayout stamped;
    FILE* file = OpenPhoto(fileName, stamped);
    TDecoder decoder(file, nullptr, 0, fileName);
    TThumbnail t = Decode(decoder, rotation, surfaceHeight, limits, honourOrientation);
    Stamp(t.layout, stamped);
    return t;
}

TThumbnail ReadJpegThumbnail(const uint8_t* data, std::size_t size, int32_t rotation,
                             int32_t surfaceHeight, const TJpegLimits& limits,
                             bool honourOrientation) {
    TDecoder decoder(nullptr, data, size);
    return Decode(decoder, rotation, surfaceHeight, limits, honourOrientation);
}

TJpegLayout ReadJpegLayout(const std::string& fileName) {
    TJpegLayout stamped;
    return LayoutOfOpened(OpenPhoto(fileName, stamped), fileName, stamped);
}

std::optional<TThumbnail> ReadExifPreview(const std::string& fileName, int32_t rotation,
                                          bool honourOrientation) {
    // the header and the EXIF segment from one read, nothing of the picture decoded
    TJpegLayout layout;
    std::string stored;
    {
        FILE* file = OpenPhoto(fileName, layout);
        TDecoder decoder(file, nullptr, 0, fileName);
        decoder.Run(StepReadHeader);
        j_decompress_ptr c = &decoder.Job().cinfo;
        const TJpegLayout stamped = layout;
        layout = LayoutOf(c);
        Stamp(layout, stamped);
        for (jpeg_saved_marker_ptr m = c->marker_list; m; m = m->next)
            if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
                std::memcmp(m->data, "Exif\0\0", 6) == 0) {
                stored = ExifThumbnailOf(
                    std::string(reinterpret_cast<const char*>(m->data), m->data_length), 0);
                break;
            }
    }
    if (stored.empty() || layout.width <= 0 || layout.height <= 0) return std::nullopt;
    TThumbnail small;
    try {
        // decoded as it is stored, at about its own size
        small = ReadJpegThumbnail(reinterpret_cast<const uint8_t*>(stored.data()), stored.size(), 0,
                                  kExifThumbnailSide, {}, false);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (small.bitmap.Empty()) return std::nullopt;
    // one with bars around the picture would show the photo out of place
    const double photo = double(layout.width) / layout.height;
    const double shown = double(small.bitmap.Width()) / small.bitmap.Height();
    if (std::abs(shown / photo - 1.0) > 0.03) return std::nullopt;

    const int orientation = honourOrientation ? layout.orientation : 1;
    TurnBitmap(small.bitmap, OrientationTurn(orientation).Then(rotation));
    const TJpegView view = ViewOf(layout, honourOrientation, rotation);
    TThumbnail thumb;
    thumb.imageWidth = view.width;
    thumb.imageHeight = view.height;
    thumb.imageRatio = double(view.width) / view.height;
    thumb.thumbWidth = small.bitmap.Width();
    thumb.thumbHeight = small.bitmap.Height();
    thumb.scaleDenominator = 8;
    thumb.bitmap = std::move(small.bitmap);
    thumb.layout = layout;
    thumb.orientation = orientation;
    thumb.blockWidth = view.blockWidth;
    thumb.blockHeight = view.blockHeight;
    return thumb;
}

TJpegLayout ReadJpegLayout(int fd, const std::string& fileName) {
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) throw TError(TErrorKind::CannotRead, fileName, SystemErrorText(errno));
    // read from the start, whatever was read before; the caller's descriptor stays its own
    lseek(own, 0, SEEK_SET);
    TJpegLayout stamped;
    return LayoutOfOpened(OpenedPhoto(own, fileName, stamped), fileName, stamped);
}

namespace {
/// Rows straight into the grey picture, as far as it goes.
struct TGreySink {
    TGreyPicture* picture;
    JDIMENSION row;
};

void SinkGrey(void* context, JSAMPARRAY rows, int count) {
    TGreySink* s = static_cast<TGreySink*>(context);
    const std::size_t width = std::size_t(s->picture->width);
    for (int r = 0; r < count && s->row < JDIMENSION(s->picture->height); ++r, ++s->row)
        std::memcpy(s->picture->pixels.data() + width * s->row, rows[r], width);
}

/// The XML of the XMP packet among the saved segments; "" without one.
std::string XmpOf(j_decompress_ptr c) {
    static const char kSignature[] = "http://ns.adobe.com/xap/1.0/";
    const std::size_t n = sizeof kSignature; // with its zero byte
    for (jpeg_saved_marker_ptr m = c->marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length > n &&
            std::memcmp(m->data, kSignature, n) == 0)
            return std::string(reinterpret_cast<const char*>(m->data) + n, m->data_length - n);
    return {};
}
} // namespace

TGreyPicture ReadJpegGrey(const std::string& fileName, int32_t longSide,
                          const std::function<bool(const TGreyPicture&)>& decode,
                          const TJpegLimits& limits) {
    TJpegLayout stamped;
    FILE* file = OpenPhoto(fileName, stamped);
    TDecoder decoder(file, nullptr, 0, fileName);
    TJob& job = decoder.Job();
    job.err.maxScans = limits.maxScans;
    decoder.Run(StepReadHeader);
    j_decompress_ptr c = &job.cinfo;
    TGreyPicture picture;
    picture.layout = LayoutOf(c);
    Stamp(picture.layout, stamped);
    picture.xmp = XmpOf(c);
    if (decode && !decode(picture)) return picture;
    if (!decoder.HasScanData()) decoder.Fail(TErrorKind::CutShort);
    if (uint64_t(c->image_width) * uint64_t(c->image_height) > limits.maxPixels)
        decoder.Fail(TErrorKind::TooLarge);
    if (c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK) return picture;

    const int64_t longest = std::max<int64_t>(1, std::max(c->image_width, c->image_height));
    unsigned eighths = 1;
    while (eighths < 8 && longest * eighths / 8 < longSide)
        ++eighths;
    c->scale_num = eighths;
    c->scale_denom = 8;
    c->out_color_space = JCS_GRAYSCALE;
    // what is looked for is coarse: the fast transform and plain upsampling will do
    c->dct_method = JDCT_IFAST;
    c->do_fancy_upsampling = FALSE;
    c->mem->max_memory_to_use = limits.maxMemory;
    job.progress.progress_monitor = OnProgress;
    c->progress = &job.progress;
    decoder.Run(StepStart);

    picture.width = int32_t(c->output_width);
    picture.height = int32_t(c->output_height);
    picture.pixels.assign(std::size_t(picture.width) * std::size_t(picture.height), 128);
    const int rowCount = std::max(1, c->rec_outbuf_height);
    std::vector<JSAMPLE> rowData(std::size_t(c->output_width) * std::size_t(rowCount));
    std::vector<JSAMPROW> rows(static_cast<std::size_t>(rowCount));
    for (int i = 0; i < rowCount; ++i)
        rows[std::size_t(i)] = rowData.data() + std::size_t(c->output_width) * std::size_t(i);
    TGreySink sink{&picture, 0};
    job.rows = rows.data();
    job.rowCount = rowCount;
    job.sink = SinkGrey;
    job.sinkContext = &sink;
    decoder.Run(StepReadRows);
    return picture;
}
