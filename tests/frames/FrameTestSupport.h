#pragma once

#include <string>
#include <vector>

#include <QObject>

#include "FakeThumbnail.h"
#include "core/Error.h"
#include "frames/CFrame.h"
#include "frames/CropView.h"
#include "frames/IFrame.h"

/// Records what an editor or a frame signals, in order, by the names of the
/// events the signals stand for ("Selected", "DoubleClick", "FlipAspect",
/// "PreviousImage"...), so that a test reads them as a list of events.
class TFrameSignalLog {
public:
    std::vector<std::string> names;

    void Listen(TCFrame& editor) {
        Record(&editor, &TCFrame::Selected, "Selected");
        Record(&editor, &TCFrame::DoubleClick, "DoubleClick");
        Record(&editor, &TCFrame::FlipAspect, "FlipAspect");
        Record(&editor, &TCFrame::Recalculated, "Recalculated");
        QObject::connect(&editor, &TCFrame::Navigate, &context_,
                         [this](TCFrame::TNavigation where) { names.push_back(Name(where)); });
    }
    void Listen(TIFrame& frame) {
        Record(&frame, &TIFrame::SelectRequested, "Selected");
        QObject::connect(&frame, &TIFrame::Navigate, &context_,
                         [this](TCFrame::TNavigation where) { names.push_back(Name(where)); });
    }
    std::size_t Count(const std::string& name) const {
        std::size_t n = 0;
        for (const std::string& e : names)
            n += e == name;
        return n;
    }
    /// The names other than "Recalculated", which every change brings.
    std::vector<std::string> Significant() const {
        std::vector<std::string> found;
        for (const std::string& e : names)
            if (e != "Recalculated") found.push_back(e);
        return found;
    }
    void Clear() { names.clear(); }

private:
    template <typename TSender, typename TSignal>
    void Record(TSender* sender, TSignal signal, const char* name) {
        QObject::connect(sender, signal, &context_, [this, name] { names.push_back(name); });
    }
    static const char* Name(TCFrame::TNavigation where) {
        switch (where) {
        case TCFrame::TNavigation::Previous:
            return "PreviousImage";
        case TCFrame::TNavigation::Next:
            return "NextImage";
        case TCFrame::TNavigation::Home:
            return "HomeImage";
        case TCFrame::TNavigation::End:
            return "EndImage";
        }
        return "";
    }
    QObject context_; // connections end with the log
};

/// Makes an editor's view read a picture of the given size whose thumbnail is filled
/// with one colour (0xRRGGBB; the right half with a second one if given), so that
/// geometry and pixels need no JPEG file. A file name starting with "missing"
/// fails like an unreadable file.
inline void UseFakeImage(TCropView& area, int32_t width, int32_t height, uint32_t color,
                         int64_t rightColor = -1) {
    area.SetReader([=](const std::string& file, int32_t rotation, int32_t surface) {
        if (file.rfind("missing", 0) == 0) throw TError("JpegThumbnail: cannot open " + file);
        TThumbnail t = FakeThumbnail(width, height, rotation, surface);
        for (int32_t y = 0; y < t.thumbHeight; ++y)
            for (int32_t x = 0; x < t.thumbWidth; ++x)
                t.bitmap.SetPixel(
                    x, y, rightColor >= 0 && 2 * x >= t.thumbWidth ? uint32_t(rightColor) : color);
        return t;
    });
}
