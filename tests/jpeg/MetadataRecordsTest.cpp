#include "jpeg/MetadataRecords.h"

#include <map>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"

using namespace samples;

namespace {
constexpr int kW = 320, kH = 240;

/// The XMP packet of a file and where its segment lies (start, payload, end).
struct TXmpAt {
    std::size_t Start = 0, Payload = 0, End = 0;
};

TXmpAt FindXmp(const std::string& jpeg) {
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && uint8_t(jpeg[pos]) == 0xFF && uint8_t(jpeg[pos + 1]) != 0xDA) {
        const std::size_t end = pos + 2 + (uint8_t(jpeg[pos + 2]) << 8 | uint8_t(jpeg[pos + 3]));
        if (jpeg.compare(pos + 4, kXmpSignature.size(), kXmpSignature) == 0)
            return {pos, pos + 4, end};
        pos = end;
    }
    return {};
}

// Four regions: a face inside every cut below, one wholly outside, one the cut
// clips, and a point of focus.
const char* const kElements =
    "-XMP-mwg-rs:RegionInfo={AppliedToDimensions={W=320,H=240,Unit=pixel},RegionList=["
    "{Area={X=0.25,Y=0.5,W=0.1,H=0.2,Unit=normalized},Name=Ann,Type=Face},"
    "{Area={X=0.9,Y=0.1,W=0.1,H=0.1,Unit=normalized},Name=Bob,Type=Face},"
    "{Area={X=0.1,Y=0.5,W=0.2,H=0.2,Unit=normalized},Name=Cy,Type=Pet},"
    "{Area={X=0.5,Y=0.5,Unit=normalized},Type=Focus}]}";

// The same regions as attributes, the way some photo managers write them, with
// tiff:ImageHeight beside them.
std::string AttributePacket() {
    auto item = [](const std::string& attributes, const std::string& area) {
        return "<rdf:li><rdf:Description " + attributes + ">\n<mwg-rs:Area " + area +
               " stArea:unit='normalized'/></rdf:Description></rdf:li>\n";
    };
    return "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
           "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
           "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
           "<rdf:Description rdf:about='' xmlns:tiff='http://ns.adobe.com/tiff/1.0/'"
           " xmlns:mwg-rs='http://www.metadataworkinggroup.com/schemas/regions/'"
           " xmlns:stArea='http://ns.adobe.com/xmp/sType/Area#'"
           " xmlns:stDim='http://ns.adobe.com/xap/1.0/sType/Dimensions#'"
           " tiff:ImageWidth='320' tiff:ImageHeight='240'>\n"
           "<mwg-rs:Regions rdf:parseType='Resource'>\n"
           "<mwg-rs:AppliedToDimensions stDim:w='320' stDim:h='240' stDim:unit='pixel'/>\n"
           "<mwg-rs:RegionList><rdf:Bag>\n" +
           item("mwg-rs:Name='Ann' mwg-rs:Type='Face'",
                "stArea:x='0.25' stArea:y='0.5' stArea:w='0.1' stArea:h='0.2'") +
           item("mwg-rs:Name='Bob' mwg-rs:Type='Face'",
                "stArea:x='0.9' stArea:y='0.1' stArea:w='0.1' stArea:h='0.1'") +
           item("mwg-rs:Name='Cy' mwg-rs:Type='Pet'",
                "stArea:x='0.1' stArea:y='0.5' stArea:w='0.2' stArea:h='0.2'") +
           item("mwg-rs:Type='Focus'", "stArea:x='0.5' stArea:y='0.5'") +
           "</rdf:Bag></mwg-rs:RegionList></mwg-rs:Regions>\n"
           "</rdf:Description></rdf:RDF></x:xmpmeta>\n" +
           std::string(300, ' ') + "\n<?xpacket end='w'?>";
}

/// exiftool's values by group and name, lists joined by commas.
std::map<std::string, std::string> Records(const std::string& path) {
    std::map<std::string, std::string> tags;
    for (const std::string& line :
         Run("exiftool", {"-args", "-G1", "-n", "-a", "-sep", ",", path})) {
        const std::size_t eq = line.find('=');
        if (line.size() > 1 && eq != std::string::npos)
            tags[line.substr(1, eq - 1)] = line.substr(eq + 1);
    }
    return tags;
}

std::string Rect(const TCropRect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}
} // namespace

TEST(MetadataRecordsTest, FaceRegionsFollowTheCut) {
    TTempDir dir;
    MakePhoto(dir.file("photo.jpg"), kW, kH);
    const std::string photo = ReadFileBytes(dir.file("photo.jpg"));
    const std::string attributes =
        WithSegment(photo, Segment(0xE1, kXmpSignature + AttributePacket()));
    WriteFileBytes(dir.file("elements.jpg"), photo);
    samples::Run("exiftool", {"-q", "-overwrite_original", kElements, dir.file("elements.jpg")});
    const std::string elements = ReadFileBytes(dir.file("elements.jpg"));

    // in the source's pixels: Ann 64..96 x 96..144, Bob 272..304 x 12..36,
    // Cy 0..64 x 96..144, the focus at 160,120; the cut keeps 32..224 x 16..160
    const TCropRect cut{32, 16, 192, 144};
    struct TCase {
        std::string name;
        const std::string* source;
        TTurn turn;
        std::string regions; // name:type rectangle in the output's stored pixels
        std::string size;    // AppliedToDimensions
    };
    const TCase cases[] = {
        {"elements, cut",
         &elements,
         {},
         "Ann:Face 32,80 32x48|Cy:Pet 0,80 32x48|:Focus 128,104 0x0",
         "192x144"},
        {"attributes, cut",
         &attributes,
         {},
         "Ann:Face 32,80 32x48|Cy:Pet 0,80 32x48|:Focus 128,104 0x0",
         "192x144"},
        // the cut's left column becomes the output's top row; mirrored and turned thrice: its
        // columns become rows
        {"elements, turned clockwise",
         &elements,
         {false, 1},
         "Ann:Face 16,32 48x32|Cy:Pet 16,0 48x32|:Focus 40,128 0x0",
         "144x192"},
        {"attributes, mirrored",
         &attributes,
         {true, 0},
         "Ann:Face 128,80 32x48|Cy:Pet 160,80 32x48|:Focus 64,104 0x0",
         "192x144"},
        {"attributes, mirrored and turned",
         &attributes,
         {true, 3},
         "Ann:Face 80,32 48x32|Cy:Pet 80,0 48x32|:Focus 104,128 0x0",
         "144x192"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string jpeg = *c.source;
        const TXmpAt at = FindXmp(jpeg);
        ASSERT_GT(at.End, 0u);
        std::string segment = jpeg.substr(at.Start, at.End - at.Start);
        TRecordEdits edits;
        edits.Width = c.turn.Swaps() ? 144 : 192;
        edits.Height = c.turn.Swaps() ? 192 : 144;
        edits.Cut = TThumbnailCut{kW, kH, cut, c.turn};
        ASSERT_TRUE(PatchXmp(segment, at.Payload - at.Start, edits));
        jpeg.replace(at.Start, at.End - at.Start, segment);
        const std::string out = dir.file("out.jpg");
        WriteFileBytes(out, jpeg);

        const std::string packet = segment.substr(at.Payload - at.Start + kXmpSignature.size());
        std::string found;
        for (const TFaceRegion& r : ReadFaceRegions(packet, edits.Width, edits.Height))
            found += (found.empty() ? "" : "|") + r.Name + ":" + r.Type + " " + Rect(r.Area);
        EXPECT_EQ(found, c.regions);
        // what another reader makes of the packet: valid, and the same regions
        std::map<std::string, std::string> tags = Records(out);
        EXPECT_EQ(tags.count("ExifTool:Warning"), 0u) << tags["ExifTool:Warning"];
        EXPECT_EQ(tags["XMP-mwg-rs:RegionName"], "Ann,Cy");
        EXPECT_EQ(tags["XMP-mwg-rs:RegionAppliedToDimensionsW"] + "x" +
                      tags["XMP-mwg-rs:RegionAppliedToDimensionsH"],
                  c.size);
        if (c.source == &attributes) {
            EXPECT_NE(packet.find("tiff:ImageHeight='" + std::to_string(edits.Height) + "'"),
                      std::string::npos);
        }
    }
    // the source as it was: regions in the source's pixels
    const TXmpAt at = FindXmp(elements);
    std::string regions;
    for (const TFaceRegion& r :
         ReadFaceRegions(elements.substr(at.Payload + kXmpSignature.size(),
                                         at.End - at.Payload - kXmpSignature.size()),
                         kW, kH))
        regions += Rect(r.Area) + "|";
    EXPECT_EQ(regions, "64,96 32x48|272,12 32x24|0,96 64x48|160,120 0x0|");
}
