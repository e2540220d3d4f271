#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// A rectangle in pixels: top-left corner, width and height.
struct TCropRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const TCropRect&) const = default;
};

/// The stored picture of a JPEG file as the lossless transformer sees it.
struct TJpegLayout {
    int32_t width = 0;  ///< stored width
    int32_t height = 0; ///< stored height
    /// The file's block (iMCU): the unit in which the transformer cuts and turns;
    /// 16x16 for 4:2:0, 16x8 for 4:2:2, 32x8 for 4:1:1, 8x8 for 4:4:4 and grey.
    int32_t blockWidth = 8;
    int32_t blockHeight = 8;
    int orientation = 1; ///< EXIF Orientation, 1 to 8; 1 when absent or invalid
    /// The file as it was read (0 for data in memory): with the stored size,
    /// what tells a photo replaced or rewritten since from the one that was read.
    uint64_t fileSize = 0;
    int64_t modifiedNs = 0; ///< its last write, in nanoseconds since the epoch
};

/// One of the eight ways to turn and mirror a picture: first mirrored left to
/// right when `mirror` is set, then turned clockwise by `quarters` x 90 degrees.
struct TTurn {
    bool mirror = false;
    int quarters = 0; ///< 0 to 3

    bool operator==(const TTurn&) const = default;
    bool Identity() const { return !mirror && quarters == 0; }
    /// Width and height trade places.
    bool Swaps() const { return quarters % 2 == 1; }
    /// This turn followed by a clockwise turn of 0, 90, 180 or 270 degrees.
    TTurn Then(int32_t degrees) const;
    /// The stored right edge lands on the view's left or top edge, where a
    /// partial block cannot be turned; the same for the bottom edge.
    bool NeedsWholeWidth() const;
    bool NeedsWholeHeight() const;
};

/// The turn that shows a picture of the given EXIF orientation upright.
TTurn OrientationTurn(int orientation);

/// A stored picture turned for showing and cutting. Where a partial block would
/// land on the view's left or top edge, the transformer cannot turn it in place;
/// that strip is left out, so the view is the part that can be cut exactly.
struct TJpegView {
    TTurn turn;
    int32_t storedWidth = 0;  ///< the stored part shown: the picture less the strips
    int32_t storedHeight = 0; ///< left out, always from the stored right and bottom
    int32_t width = 0;        ///< the view's size
    int32_t height = 0;
    int32_t blockWidth = 1; ///< the block in the view's direction
    int32_t blockHeight = 1;
};

TJpegView ViewOf(const TJpegLayout& layout, TTurn turn);
/// The view a frame shows: the upright picture when the orientation is honoured,
/// then turned clockwise by rotation degrees.
TJpegView ViewOf(const TJpegLayout& layout, bool honourOrientation, int32_t rotation);

/// A rectangle of the stored picture in view pixels, and back.
TCropRect ToView(const TJpegView& view, const TCropRect& stored);
TCropRect FromView(const TJpegView& view, const TCropRect& rect);

/// Reads only the file's header: stored size, block and EXIF orientation.
/// Raises TError like the thumbnail decoder, which reads it the same way.
TJpegLayout ReadJpegLayout(const std::string& fileName);
/// The same from a file already open for reading, from its start (its read
/// position moves; the descriptor stays open). fileName names it in faults.
TJpegLayout ReadJpegLayout(int fd, const std::string& fileName);

/// The largest part of a view rectangle that the transformer cuts exactly: its
/// corner moved right and down onto the block grid, kept inside the view.
TCropRect ExactCut(const TJpegView& view, const TCropRect& rect);

/// Least common multiple of a grid step and a block size (16 and 32 give 32).
int32_t CommonGrid(int32_t step, int32_t block);

/// The Orientation of the main image in an EXIF segment's payload ("Exif", two
/// zero bytes, then the TIFF structure); 1 when it is missing or out of range.
int ExifOrientation(const uint8_t* payload, std::size_t size);

/// Where the main image's Orientation entries lie in a TIFF structure of n
/// bytes (offsets of whole 12-byte entries), and the orientation the first one
/// states: an integer from 1 to 8 (SHORT, LONG or any other integer type),
/// also in a directory without its link
/// to the next one (none when its entries run past the data). The EXIF edit of a
/// turned picture rewrites exactly these entries, so that a file whose pixels
/// were turned by what they say never keeps saying it.
std::vector<std::size_t> OrientationEntries(const uint8_t* tiff, std::size_t n, int& orientation);

/// How a file's scans are coded, as its frame header (SOF) marker declares:
/// progressive (SOF2, SOF6, SOF10, SOF14) or sequential, arithmetic (SOF9 to
/// SOF15) or Huffman (SOF0 to SOF7). The transformer writes baseline Huffman
/// unless told otherwise, so a cut keeps the source's form only when asked.
struct TJpegCoding {
    bool progressive = false;
    bool arithmetic = false;
    bool operator==(const TJpegCoding&) const = default;
};

/// The coding a frame header marker (0xC0 to 0xCF, less DHT 0xC4, JPG 0xC8 and
/// DAC 0xCC) declares; nothing is declared by other markers.
TJpegCoding CodingOfFrameMarker(uint8_t marker);

/// True for the markers that start a frame header.
bool IsFrameMarker(uint8_t marker);

/// The coding of a JPEG file, read from its first frame header; the segments
/// before it are skipped, not read. Baseline Huffman when the file cannot be
/// read or has no frame header before its scan.
TJpegCoding ReadJpegCoding(const std::string& fileName);
/// The same from a file already open for reading, from its start (its read
/// position moves; the descriptor stays open).
TJpegCoding ReadJpegCoding(int fd);
