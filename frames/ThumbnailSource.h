#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <QObject>

#include "core/Error.h"
#include "jpeg/JpegThumbnail.h"

/// A thumbnail decoded away from the window's thread, or why it could not be.
struct TDecodedThumbnail {
    std::optional<TThumbnail> Thumbnail;
    TFault Fault; ///< why there is no thumbnail
    /// The thumbnail ready to draw, made where it was decoded; null when it was not.
    QImage Image;
};

/// A bitmap as the editor draws it: top-down, 32 bits a pixel.
QImage DrawableImage(const TBitmap& bitmap);

/// Where editors get thumbnails decoded off the user-interface thread. The
/// answers come back on that thread, one at a time, between its events.
class IThumbnailSource : public QObject {
public:
    using TDone = std::function<void(TDecodedThumbnail)>;

    using QObject::QObject;
    ~IThumbnailSource() override = default;

    /// Queues the decode of a file at a rotation and surface height, upright by
    /// its EXIF orientation when that is honoured; done runs
    /// later on the calling thread, unless context was destroyed or the request
    /// was withdrawn by then. Returns the request's ticket (never 0).
    virtual uint64_t Request(QObject* context, const std::string& fileName, int32_t rotation,
                             int32_t height, bool honourOrientation, TDone done) = 0;
    /// Takes back a request; true when it had not started decoding yet.
    /// Its done never runs either way.
    virtual bool Withdraw(uint64_t ticket) = 0;

    /// A thumbnail decoded before for the same file, turn, height and orientation
    /// and still kept, if any: a frame shown again takes it without waiting.
    virtual std::optional<TThumbnail> Cached(const std::string&, int32_t, int32_t, bool) {
        return std::nullopt;
    }
    /// Asks for the thumbnail stored in the file's EXIF data, shown as the decode
    /// would be, ahead of every decode: a stand-in until the decode arrives. done
    /// runs as for Request, with no thumbnail when the file has none to show.
    /// Returns the ticket, 0 where none are made.
    virtual uint64_t RequestPreview(QObject*, const std::string&, int32_t, bool, TDone) {
        return 0;
    }
    /// Moves a request not started yet ahead of the others: what the user sees goes first.
    virtual void Hurry(uint64_t) {}

    /// The faces of a file, in pixels of its stored picture.
    using TFacesDone = std::function<void(std::vector<TCropRect>)>;
    /// Queues the search for the file's faces behind every thumbnail; done runs
    /// as for Request. Returns the ticket, 0 where faces are not looked for.
    virtual uint64_t RequestFaces(QObject*, const std::string&, TFacesDone) { return 0; }
};
