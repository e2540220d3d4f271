#include "jpeg/MetadataRecords.h"

#include <algorithm>
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

// Sets every occurrence of the property, written as an attribute (name="v")
// or as a simple element (<name>v</name>), whose value is a plain number.
bool SetProperty(std::string& xml, const std::string& name,
                 const std::function<std::string(std::string_view)>& value) {
    bool changed = false;
    auto replace = [&](std::size_t at, std::size_t length) {
        const std::string_view old = std::string_view(xml).substr(at, length);
        if (!IsPlainNumber(old)) return length;
        const std::string now = value(old);
        changed |= now != old;
        xml.replace(at, length, now);
        return now.size();
    };
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
            pos = text + replace(text, textEnd - text) + closing.size();
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
            pos = p + 1 + replace(p + 1, close - p - 1) + 1;
        } else {
            pos = after;
        }
    }
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
    if (segment.compare(payload, kXmpSignature.size(), kXmpSignature) != 0) return false;
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
    if (!changed) return false;
    KeepPacketSize(xml, std::ptrdiff_t(xml.size()) - std::ptrdiff_t(before));
    if (packetAt + xml.size() - 2 > kMaxSegmentLength) return false;
    segment.replace(packetAt, std::string::npos, xml);
    SetSegmentLength(segment);
    return true;
}
