#include "jpeg/MetadataRecords.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <string_view>
#include <vector>

const std::string kPhotoshopSignature("Photoshop 3.0\0", 14);
const std::string kXmpSignature("http://ns.adobe.com/xap/1.0/\0", 29);

namespace {
constexpr std::size_t kMaxSegmentLength = 0xFFFF;
constexpr uint16_t kResolutionInfo = 0x03ED;

uint32_t BigEndian(const std::string& d, std::size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | static_cast<uint8_t>(d[at + std::size_t(i)]);
    return v;
}

void PutBigEndian(std::string& d, std::size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        d[at + std::size_t(i)] = static_cast<char>(v >> (8 * (bytes - 1 - i)));
}

void SetSegmentLength(std::string& segment) {
    PutBigEndian(segment, 2, uint32_t(segment.size() - 2), 2);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// XML names as XMP writes them: ASCII letters, digits and a few signs
bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
}

// a value a reader takes for a number: nothing here is markup or an entity
bool IsPlainNumber(std::string_view v) {
    return !v.empty() && v.find_first_not_of("0123456789/.+- \t\r\n") == std::string_view::npos;
}

std::size_t SkipSpace(const std::string& xml, std::size_t p) {
    while (p < xml.size() && IsSpace(xml[p]))
        ++p;
    return p;
}

/// The prefixes the packet binds to a namespace (xmlns:p="uri").
std::vector<std::string> PrefixesOf(const std::string& xml, std::string_view uri) {
    std::vector<std::string> prefixes;
    for (std::size_t pos = xml.find("xmlns:"); pos != std::string::npos;
         pos = xml.find("xmlns:", pos + 1)) {
        std::size_t end = pos + 6;
        while (end < xml.size() && IsNameChar(xml[end]) && xml[end] != ':')
            ++end;
        const std::string prefix = xml.substr(pos + 6, end - pos - 6);
        std::size_t p = SkipSpace(xml, end);
        if (prefix.empty() || p >= xml.size() || xml[p] != '=') continue;
        p = SkipSpace(xml, p + 1);
        if (p >= xml.size() || (xml[p] != '"' && xml[p] != '\'')) continue;
        const std::size_t close = xml.find(xml[p], p + 1);
        if (close == std::string::npos) break;
        if (std::string_view(xml).substr(p + 1, close - p - 1) == uri) prefixes.push_back(prefix);
    }
    return prefixes;
}

// Calls visit(at, length) on the value of every occurrence of the property,
// written as an attribute (name="v") or as a simple element (<name>v</name>);
// visit returns the length the value has now.
void ForEachValue(std::string& xml, const std::string& name,
                  const std::function<std::size_t(std::size_t, std::size_t)>& visit) {
    std::size_t pos = 0;
    while ((pos = xml.find(name, pos)) != std::string::npos) {
        const std::size_t after = pos + name.size();
        const char before = pos ? xml[pos - 1] : ' ';
        if (after >= xml.size() || IsNameChar(xml[after]) || (pos && IsNameChar(before))) {
            pos = after; // a longer name
            continue;
        }
        if (before == '<') {
            const std::size_t gt = xml.find('>', after);
            if (gt == std::string::npos) break;
            const std::size_t text = gt + 1, textEnd = xml.find('<', text);
            const std::string closing = "</" + name + ">";
            if (xml[gt - 1] == '/' || textEnd == std::string::npos ||
                xml.compare(textEnd, closing.size(), closing) != 0) {
                pos = text; // empty or a structure, not one value
                continue;
            }
            pos = text + visit(text, textEnd - text) + closing.size();
        } else if (IsSpace(before)) {
            std::size_t p = SkipSpace(xml, after);
            if (p >= xml.size() || xml[p] != '=') {
                pos = after;
                continue;
            }
            p = SkipSpace(xml, p + 1);
            if (p >= xml.size() || (xml[p] != '"' && xml[p] != '\'')) {
                pos = after;
                continue;
            }
            const std::size_t close = xml.find(xml[p], p + 1);
            if (close == std::string::npos) break;
            pos = p + 1 + visit(p + 1, close - p - 1) + 1;
        } else {
            pos = after;
        }
    }
}

// Sets every occurrence of the property whose value is a plain number.
bool SetProperty(std::string& xml, const std::string& name,
                 const std::function<std::string(std::string_view)>& value) {
    bool changed = false;
    ForEachValue(xml, name, [&](std::size_t at, std::size_t length) {
        const std::string_view old = std::string_view(xml).substr(at, length);
        if (!IsPlainNumber(old)) return length;
        const std::string now = value(old);
        changed |= now != old;
        xml.replace(at, length, now);
        return now.size();
    });
    return changed;
}

// The whitespace before the packet's end takes up a change in its length,
// so that the packet keeps its size where the padding allows.
void KeepPacketSize(std::string& xml, std::ptrdiff_t grownBy) {
    const std::size_t end = xml.rfind("<?xpacket end=");
    if (end == std::string::npos || grownBy == 0) return;
    if (grownBy < 0) {
        xml.insert(end, std::size_t(-grownBy), ' ');
        return;
    }
    std::size_t padding = 0;
    while (padding < std::size_t(grownBy) && padding < end && IsSpace(xml[end - padding - 1]))
        ++padding;
    xml.erase(end - padding, padding);
}
} // namespace

bool PatchPhotoshopResolution(std::string& segment, std::size_t payload, uint32_t resolution) {
    if (resolution == 0 ||
        segment.compare(payload, kPhotoshopSignature.size(), kPhotoshopSignature) != 0)
        return false;
    // a 16.16 fixed-point number with a sign
    const uint32_t fixed = std::min<uint32_t>(resolution, 0x7FFF) << 16;
    bool changed = false;
    std::size_t pos = payload + kPhotoshopSignature.size();
    // each resource: "8BIM", its id, a name padded to an even length, its size, its data padded
    while (pos + 12 <= segment.size() && segment.compare(pos, 4, "8BIM") == 0) {
        const uint32_t id = BigEndian(segment, pos + 4, 2);
        const std::size_t nameField =
            (std::size_t(uint8_t(segment[pos + 6])) + 2) & ~std::size_t(1);
        const std::size_t sizeAt = pos + 6 + nameField;
        if (sizeAt + 4 > segment.size()) break;
        const uint32_t size = BigEndian(segment, sizeAt, 4);
        const std::size_t data = sizeAt + 4;
        if (size > segment.size() - data) break;
        // hRes, hResUnit (1: per inch), widthUnit, vRes, vResUnit, heightUnit
        if (id == kResolutionInfo && size >= 16) {
            const std::string before = segment.substr(data, 16);
            PutBigEndian(segment, data, fixed, 4);
            PutBigEndian(segment, data + 4, 1, 2);
            PutBigEndian(segment, data + 8, fixed, 4);
            PutBigEndian(segment, data + 12, 1, 2);
            changed |= segment.compare(data, 16, before) != 0;
        }
        pos = data + size + (size & 1);
    }
    return changed;
}

bool PatchXmp(std::string& segment, std::size_t payload, const TRecordEdits& edits) {
    // readers take a packet behind a damaged signature too, but never the
    // chunks of an extended packet, which are checked by their digest
    const std::string_view extended("http://ns.adobe.com/xmp/extension/");
    const bool signed_ = segment.compare(payload, kXmpSignature.size(), kXmpSignature) == 0;
    if (!signed_ && (segment.size() < payload + kXmpSignature.size() ||
                     segment.compare(payload, extended.size(), extended) == 0 ||
                     segment.compare(payload + kXmpSignature.size(), 10, "<?xpacket ") != 0))
        return false;
    const std::size_t packetAt = payload + kXmpSignature.size();
    std::string xml = segment.substr(packetAt);
    const std::size_t before = xml.size();
    auto number = [](uint32_t v) { return [v](std::string_view) { return std::to_string(v); }; };
    // a rational stays a rational
    auto resolution = [&](std::string_view old) {
        const std::string r = std::to_string(edits.Resolution);
        return old.find('/') != std::string_view::npos ? r + "/1" : r;
    };
    bool changed = false;
    for (const std::string& p : PrefixesOf(xml, "http://ns.adobe.com/tiff/1.0/")) {
        if (edits.Upright) changed |= SetProperty(xml, p + ":Orientation", number(1));
        if (edits.Resolution) {
            changed |= SetProperty(xml, p + ":XResolution", resolution);
            changed |= SetProperty(xml, p + ":YResolution", resolution);
            changed |= SetProperty(xml, p + ":ResolutionUnit", number(2));
        }
        if (edits.Width && edits.Height) {
            changed |= SetProperty(xml, p + ":ImageWidth", number(edits.Width));
            changed |= SetProperty(xml, p + ":ImageLength", number(edits.Height));
            changed |= SetProperty(xml, p + ":ImageHeight", number(edits.Height));
        }
    }
    for (const std::string& p : PrefixesOf(xml, "http://ns.adobe.com/exif/1.0/"))
        if (edits.Width && edits.Height) {
            changed |= SetProperty(xml, p + ":PixelXDimension", number(edits.Width));
            changed |= SetProperty(xml, p + ":PixelYDimension", number(edits.Height));
        }
    if (edits.NothingAfter)
        for (const std::string& p : PrefixesOf(xml, "http://ns.google.com/photos/1.0/camera/")) {
            changed |= SetProperty(xml, p + ":MotionPhoto", number(0));
            changed |= SetProperty(xml, p + ":MicroVideo", number(0));
        }
    if (edits.Cut) changed |= MoveFaceRegions(xml, *edits.Cut, edits.Width, edits.Height);
    if (!changed) return false;
    KeepPacketSize(xml, std::ptrdiff_t(xml.size()) - std::ptrdiff_t(before));
    if (packetAt + xml.size() - 2 > kMaxSegmentLength) return false;
    segment.replace(packetAt, std::string::npos, xml);
    SetSegmentLength(segment);
    return true;
}

namespace {
const char* const kRegionsNs = "http://www.metadataworkinggroup.com/schemas/regions/";
const char* const kAreaNs = "http://ns.adobe.com/xmp/sType/Area#";
const char* const kDimensionsNs = "http://ns.adobe.com/xap/1.0/sType/Dimensions#";
const char* const kRdfNs = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";

// Where the next element of this name starts, at or after from; a longer name
// that begins alike is another element.
std::size_t FindElement(const std::string& xml, const std::string& name, std::size_t from) {
    const std::string open = "<" + name;
    for (std::size_t p = xml.find(open, from); p != std::string::npos; p = xml.find(open, p + 1))
        if (p + open.size() < xml.size() && !IsNameChar(xml[p + open.size()])) return p;
    return std::string::npos;
}

// The end (one past its last character) of the element that starts at start,
// nested elements of the same name included; npos when the packet breaks off.
std::size_t ElementEnd(const std::string& xml, const std::string& name, std::size_t start) {
    int depth = 0;
    std::size_t p = start;
    while (p != std::string::npos && p < xml.size()) {
        const std::size_t gt = xml.find('>', p);
        if (gt == std::string::npos) return gt;
        if (xml.compare(p, name.size() + 2, "</" + name) == 0) {
            if (--depth == 0) return gt + 1;
        } else if (xml[gt - 1] != '/') {
            ++depth;
        } else if (depth == 0) {
            return gt + 1; // an empty element
        }
        // the next tag of this name, opening or closing
        const std::size_t open = FindElement(xml, name, gt);
        const std::size_t close = xml.find("</" + name, gt);
        p = std::min(open, close);
    }
    return std::string::npos;
}

// The start of the list item (rdf:li) that holds position at; npos when none does.
std::size_t EnclosingItem(const std::string& xml, const std::string& li, std::size_t at) {
    int closed = 0;
    for (std::size_t p = at; p > 0;) {
        const std::size_t open = xml.rfind("<" + li, p - 1), close = xml.rfind("</" + li, p - 1);
        if (open == std::string::npos && close == std::string::npos) break;
        if (close != std::string::npos && (open == std::string::npos || close > open)) {
            ++closed;
            p = close;
        } else {
            if (!IsNameChar(xml[open + li.size() + 1]) && closed-- == 0) return open;
            p = open;
        }
    }
    return std::string::npos;
}

// The first value of the property inside xml[from, to).
std::optional<std::string> ValueIn(const std::string& xml, std::size_t from, std::size_t to,
                                   const std::vector<std::string>& names) {
    std::string part = xml.substr(from, to - from);
    std::optional<std::string> found;
    for (const std::string& name : names)
        ForEachValue(part, name, [&](std::size_t at, std::size_t length) {
            if (!found) found = part.substr(at, length);
            return length;
        });
    return found;
}

std::vector<std::string> Named(const std::vector<std::string>& prefixes, const char* name) {
    std::vector<std::string> names;
    for (const std::string& p : prefixes)
        names.push_back(p + ":" + name);
    return names;
}

// numbers are read and written without the locale: a comma is no decimal point here
std::optional<double> Number(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const std::size_t start = text->find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return std::nullopt;
    double v = 0;
    const char* end = text->data() + text->size();
    const auto [ptr, error] = std::from_chars(text->data() + start, end, v);
    if (error != std::errc() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string Fraction(double v) {
    char text[32];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 6);
    std::string s(text, error == std::errc() ? end : text);
    while (s.find('.') != std::string::npos && (s.back() == '0' || s.back() == '.'))
        s.pop_back();
    return s.empty() || s == "-0" ? "0" : s;
}

/// One region's area, with the item that holds it (npos when it is no list item).
struct TAreaAt {
    std::size_t Item = std::string::npos, ItemEnd = 0, Area = 0, AreaEnd = 0;
};

/// An area in the stored picture's pixels: its edges; a point has left == right.
struct TBox {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Point = false;
    std::optional<double> Diameter; // a circle's, in pixels
};

// The packet's regions: where each area and its item lie, in the packet's order.
struct TRegionNames {
    std::vector<std::string> Area, Regions, Dimensions, Li;
    std::vector<std::string> Field(const char* name) const { return Named(Area, name); }
};

TRegionNames NamesOf(const std::string& xml) {
    TRegionNames n;
    n.Area = PrefixesOf(xml, kAreaNs);
    n.Regions = PrefixesOf(xml, kRegionsNs);
    n.Dimensions = PrefixesOf(xml, kDimensionsNs);
    for (const std::string& p : PrefixesOf(xml, kRdfNs))
        n.Li.push_back(p + ":li");
    return n;
}

std::vector<TAreaAt> FindAreas(const std::string& xml, const TRegionNames& n) {
    std::vector<TAreaAt> areas;
    for (const std::string& area : Named(n.Regions, "Area"))
        for (std::size_t p = FindElement(xml, area, 0); p != std::string::npos;
             p = FindElement(xml, area, p + 1)) {
            TAreaAt a;
            a.Area = p;
            a.AreaEnd = ElementEnd(xml, area, p);
            if (a.AreaEnd == std::string::npos) break;
            for (const std::string& li : n.Li)
                if ((a.Item = EnclosingItem(xml, li, p)) != std::string::npos) {
                    a.ItemEnd = ElementEnd(xml, li, a.Item);
                    if (a.ItemEnd == std::string::npos || a.ItemEnd < a.AreaEnd)
                        a.Item = std::string::npos;
                    break;
                }
            areas.push_back(a);
        }
    std::sort(areas.begin(), areas.end(),
              [](const TAreaAt& a, const TAreaAt& b) { return a.Area < b.Area; });
    return areas;
}

// The area in pixels of a picture of width x height; nothing when its values are
// missing or not fractions.
std::optional<TBox> ReadBox(const std::string& xml, const TAreaAt& a, const TRegionNames& n,
                            double width, double height) {
    const auto unit = ValueIn(xml, a.Area, a.AreaEnd, n.Field("unit"));
    if (unit && *unit != "normalized") return std::nullopt;
    const auto x = Number(ValueIn(xml, a.Area, a.AreaEnd, n.Field("x")));
    const auto y = Number(ValueIn(xml, a.Area, a.AreaEnd, n.Field("y")));
    const auto w = Number(ValueIn(xml, a.Area, a.AreaEnd, n.Field("w")));
    const auto h = Number(ValueIn(xml, a.Area, a.AreaEnd, n.Field("h")));
    const auto d = Number(ValueIn(xml, a.Area, a.AreaEnd, n.Field("d")));
    if (!x || !y) return std::nullopt;
    TBox b;
    b.Point = !w || !h;
    // the area's x and y name its centre
    const double halfW = b.Point ? 0 : std::fabs(*w) * width / 2,
                 halfH = b.Point ? 0 : std::fabs(*h) * height / 2;
    b.Left = *x * width - halfW;
    b.Right = *x * width + halfW;
    b.Top = *y * height - halfH;
    b.Bottom = *y * height + halfH;
    if (d) b.Diameter = *d * width; // as a fraction of the width, as the writers use it
    return b;
}
} // namespace

std::vector<TFaceRegion> ReadFaceRegions(std::string_view packet, int32_t width, int32_t height) {
    const std::string xml(packet);
    const TRegionNames n = NamesOf(xml);
    std::vector<TFaceRegion> regions;
    for (const TAreaAt& a : FindAreas(xml, n)) {
        const auto box = ReadBox(xml, a, n, width, height);
        if (!box) continue;
        TFaceRegion r;
        if (a.Item != std::string::npos) {
            // the item's own type and name, not those of an area's nested structure
            r.Type = ValueIn(xml, a.Item, a.ItemEnd, Named(n.Regions, "Type")).value_or("");
            r.Name = ValueIn(xml, a.Item, a.ItemEnd, Named(n.Regions, "Name")).value_or("");
        }
        const auto clamp = [](double v, int32_t most) {
            return int32_t(std::lround(std::clamp(v, 0.0, double(most))));
        };
        r.Area.x = clamp(box->Left, width);
        r.Area.y = clamp(box->Top, height);
        r.Area.width = clamp(box->Right, width) - r.Area.x;
        r.Area.height = clamp(box->Bottom, height) - r.Area.y;
        regions.push_back(r);
    }
    return regions;
}

bool MoveFaceRegions(std::string& xml, const TThumbnailCut& cut, uint32_t width, uint32_t height) {
    const TRegionNames n = NamesOf(xml);
    if (n.Regions.empty() || cut.SourceWidth <= 0 || cut.SourceHeight <= 0 ||
        cut.Stored.width <= 0 || cut.Stored.height <= 0)
        return false;
    const std::string before = xml;
    const double cutW = cut.Stored.width, cutH = cut.Stored.height;
    const double outW = cut.Turn.Swaps() ? cutH : cutW, outH = cut.Turn.Swaps() ? cutW : cutH;
    const std::vector<TAreaAt> areas = FindAreas(xml, n);
    // from the last, so that the places of the earlier ones stay; an area that
    // reaches into what was changed already (areas nested in a damaged packet) stays
    std::size_t changedFrom = xml.size();
    for (auto a = areas.rbegin(); a != areas.rend(); ++a) {
        const bool item = a->Item != std::string::npos;
        if ((item ? a->ItemEnd : a->AreaEnd) > changedFrom) continue;
        auto box = ReadBox(xml, *a, n, cut.SourceWidth, cut.SourceHeight);
        if (!box) continue;
        TBox b = *box;
        b.Left = std::max(b.Left, double(cut.Stored.x)) - cut.Stored.x;
        b.Top = std::max(b.Top, double(cut.Stored.y)) - cut.Stored.y;
        b.Right = std::min(b.Right, double(cut.Stored.x) + cutW) - cut.Stored.x;
        b.Bottom = std::min(b.Bottom, double(cut.Stored.y) + cutH) - cut.Stored.y;
        // a point on the cut's edge is still in the picture; an area needs some of it
        const bool outside =
            b.Point ? b.Left > b.Right || b.Top > b.Bottom : b.Left >= b.Right || b.Top >= b.Bottom;
        if (outside) {
            if (item) xml.erase(a->Item, a->ItemEnd - a->Item);
            changedFrom = item ? a->Item : changedFrom;
            continue;
        }
        // mirrored left to right first, then each quarter turn clockwise
        double w = cutW, h = cutH;
        if (cut.Turn.mirror) b = {w - b.Right, b.Top, w - b.Left, b.Bottom, b.Point, b.Diameter};
        for (int q = 0; q < cut.Turn.quarters; ++q) {
            b = {h - b.Bottom, b.Left, h - b.Top, b.Right, b.Point, b.Diameter};
            std::swap(w, h);
        }
        std::string area = xml.substr(a->Area, a->AreaEnd - a->Area);
        auto set = [&](const char* field, double v) {
            for (const std::string& name : n.Field(field))
                SetProperty(area, name, [&](std::string_view) { return Fraction(v); });
        };
        set("x", (b.Left + b.Right) / 2 / outW);
        set("y", (b.Top + b.Bottom) / 2 / outH);
        if (!b.Point) {
            set("w", (b.Right - b.Left) / outW);
            set("h", (b.Bottom - b.Top) / outH);
        }
        if (b.Diameter) set("d", *b.Diameter / outW);
        xml.replace(a->Area, a->AreaEnd - a->Area, area);
        changedFrom = a->Area;
    }
    const uint32_t shownW = width && height ? width : uint32_t(outW),
                   shownH = width && height ? height : uint32_t(outH);
    for (const std::string& dims : Named(n.Regions, "AppliedToDimensions"))
        for (std::size_t p = FindElement(xml, dims, 0); p != std::string::npos;
             p = FindElement(xml, dims, p + 1)) {
            const std::size_t end = ElementEnd(xml, dims, p);
            if (end == std::string::npos) break;
            std::string part = xml.substr(p, end - p);
            for (const std::string& d : n.Dimensions) {
                SetProperty(part, d + ":w",
                            [&](std::string_view) { return std::to_string(shownW); });
                SetProperty(part, d + ":h",
                            [&](std::string_view) { return std::to_string(shownH); });
            }
            xml.replace(p, end - p, part);
        }
    return xml != before;
}
