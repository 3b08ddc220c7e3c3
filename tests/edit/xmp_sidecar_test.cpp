#include "core/edit/xmp_sidecar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

// A Camera Raw description with `attributes` and `body`, wrapped as other programs write it.
std::string packet(const std::string& attributes, const std::string& body = "") {
    return R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
           R"(<rdf:Description xmlns:crs="http://ns.adobe.com/camera-raw-settings/1.0/" )" +
           attributes + ">" + body + "</rdf:Description></rdf:RDF></x:xmpmeta>";
}

std::string curve(const std::string& name, const std::string& points) {
    std::string items;
    for (std::size_t start = 0; start < points.size();) {
        const std::size_t end = std::min(points.find(';', start), points.size());
        items += "<rdf:li>" + points.substr(start, end - start) + "</rdf:li>";
        start = end + 1;
    }
    return "<crs:" + name + "><rdf:Seq>" + items + "</rdf:Seq></crs:" + name + ">";
}

// Unlike the defaults in every field the import may touch or must keep.
EditParams distinctiveBase() {
    EditParams base = EditParams::neutral(6100, 3);
    base.exposure = 0.25;
    base.denoise = 30;
    base.denoiseMethod = DenoiseMethod::matchFilter;
    base.sharpening = SharpeningSettings::classic();
    base.toneCurve.rgb = {{0, 10}, {255, 245}};
    base.hsl.blackAndWhite = true;
    base.hsl.points.emplace_back(200, 0.5, 0.5);
    base.hsl.hue[1] = 12;
    base.spotRepairs.push_back({UUID::random(), 0.5, 0.5, 0.05, {}});
    return base;
}

class XMPSidecarTest : public ::testing::Test {
  protected:
    void write(const std::string& name, const std::string& contents) const {
        std::ofstream(folder_ / name, std::ios::binary) << contents;
    }
    // Imports `sidecar` as the sidecar of "photo.CR3" over the distinctive base.
    EditParams import(const std::string& sidecar) const {
        write("photo.xmp", sidecar);
        const auto edit = XMPSidecar::editParams(folder_ / "photo.CR3", base_);
        EXPECT_TRUE(edit) << sidecar;
        return edit.value_or(EditParams{});
    }

    const quillmere::testing::TemporaryFolder temporary_;
    const fs::path folder_ = temporary_.path();
    const EditParams base_ = distinctiveBase();
};

TEST_F(XMPSidecarTest, MissingUnreadableOrMalformedSidecarGivesNothing) {
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "photo.CR3", base_));
    // The settings come before the fault, yet the document as a whole is not well-formed.
    write("photo.xmp", packet(R"(crs:Exposure2012="1")", "<crs:Tint>3</crs:Tint>") + "<broken");
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "photo.CR3", base_));
    fs::create_directory(folder_ / "folder.xmp");
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "folder.CR3", base_));
}

TEST_F(XMPSidecarTest, SidecarReplacesOnlyTheLastExtensionAndPrefersLowerCase) {
    write("a.b.xmp", packet(R"(crs:Exposure2012="1.5")"));
    write("bare.xmp", packet(R"(crs:Exposure2012="2")"));
    write("upper.XMP", packet(R"(crs:Exposure2012="3")"));
    EXPECT_EQ(XMPSidecar::editParams(folder_ / "a.b.CR3", {})->exposure, 1.5);
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "a.CR3", {}));
    EXPECT_EQ(XMPSidecar::editParams(folder_ / "bare", {})->exposure, 2);
    EXPECT_EQ(XMPSidecar::editParams(folder_ / "upper.NEF", {})->exposure, 3);
    write("upper.xmp", packet(R"(crs:Exposure2012="-1")"));
    EXPECT_EQ(XMPSidecar::editParams(folder_ / "upper.NEF", {})->exposure, -1);
}

TEST_F(XMPSidecarTest, ScalarsAreCopiedUnconvertedAndOnlySharpeningIsClamped) {
    const EditParams edit = import(packet(
        R"(crs:Exposure2012="+0.50" crs:Temperature="5200" crs:Tint="-7" crs:Contrast2012="250")"
        R"( crs:Sharpness="200" crs:SharpenRadius="0.1" crs:SharpenEdgeMasking="101")",
        "<crs:Highlights2012>\n  -100 \n</crs:Highlights2012><crs:Saturation>-500</crs:Saturation>"
        "<crs:SharpenDetail>40</crs:SharpenDetail>"));
    EditParams expected = base_;
    expected.exposure = 0.5;
    expected.temperature = 5200;
    expected.tint = -7;
    expected.contrast = 250;
    expected.highlights = -100;
    expected.saturation = -500;
    expected.sharpening = {.amount = 150, .radius = 0.5, .detail = 40, .masking = 100};
    EXPECT_EQ(edit, expected);
}

TEST_F(XMPSidecarTest, TheFirstTextMetHoldsItsKey) {
    const struct {
        std::string attributes, body;
        double tint;
    } cases[] = {
        {R"(crs:Tint="warm")", "<crs:Tint>9</crs:Tint>", 3},  // not a number, yet first
        {R"(crs:Tint="4")", "<crs:Tint>9</crs:Tint>", 4},     // attributes come first
        {R"(crs:Tint="4")", R"(<rdf:Bag crs:Tint="9"/>)", 4},
        {"", "<crs:Tint>9</crs:Tint><crs:Tint>4</crs:Tint>", 9},
        {"", "<crs:Tint> \n </crs:Tint><crs:Tint>4</crs:Tint>", 4},  // blank text holds nothing
        {R"(crs:Tint="")", "<crs:Tint>4</crs:Tint>", 3},             // an empty attribute does
        {"", "<crs:Tint>1<rdf:x/>2</crs:Tint>", 3},  // an inner element ends the text
        {"", "<crs:Tint><![CDATA[8]]></crs:Tint>", 3},
        {R"(crs:Tint="nan")", "", 3},
        {R"(crs:Tint="-inf")", "", 3},
        {R"(crs:Tint="1e999")", "", 3},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.attributes + each.body);
        EXPECT_EQ(import(packet(each.attributes, each.body)).tint, each.tint);
    }
}

TEST_F(XMPSidecarTest, CurvesReplaceTheirOwnChannelOutsideLooksOnly) {
    const EditParams edit = import(packet(
        "", "<crs:Look><crs:Parameters crs:Vibrance=\"33\">" +
                curve("ToneCurvePV2012Green", "0, 40;255, 200") + "</crs:Parameters></crs:Look>" +
                curve("ToneCurvePV2012", "0, 0;128, nan;+128 , 140;1,2,3;255, 255") +
                curve("ToneCurvePV2012Red", "1;x, 2") + curve("ToneCurvePV2012Red", "0, 5") +
                curve("ToneCurvePV2012Red", "0, 6") +
                curve("ToneCurvePV2012Blue", "0, 7;300, 252")));
    EXPECT_EQ(edit.toneCurve.rgb, (std::vector<CurvePoint>{{0, 0}, {128, 140}, {255, 255}}));
    // A curve without a valid point leaves its key to the next curve of that name.
    EXPECT_EQ(edit.toneCurve.red, (std::vector<CurvePoint>{{0, 5}}));
    EXPECT_EQ(edit.toneCurve.green, base_.toneCurve.green);
    EXPECT_EQ(edit.toneCurve.blue, (std::vector<CurvePoint>{{0, 7}, {300, 252}}));
    // Scalars inside a look do count.
    EXPECT_EQ(edit.vibrance, 33);
}

TEST_F(XMPSidecarTest, ColourMixerKeysSetTheirBandUnclamped) {
    const EditParams edit = import(packet(
        R"(crs:HueAdjustmentOrange="-15" crs:HueAdjustmentPink="40" crs:SaturationAdjustmentAqua="120")",
        "<crs:LuminanceAdjustmentMagenta>+22</crs:LuminanceAdjustmentMagenta>"
        "<crs:HueAdjustmentred>9</crs:HueAdjustmentred>"));
    HSLAdjustments expected = base_.hsl;
    expected.hue[1] = -15;
    expected.saturation[4] = 120;
    expected.luminance[7] = 22;
    EXPECT_EQ(edit.hsl, expected);
}

TEST_F(XMPSidecarTest, RealCameraRawRecordInElementForm) {
    fs::copy_file(fs::path(QUILLMERE_TEST_DATA_DIR) / "exiv2_IMG_1913_jxr-embedded.xmp",
                  folder_ / "IMG_1913.xmp");
    const auto edit = XMPSidecar::editParams(folder_ / "IMG_1913.CR2", base_);
    ASSERT_TRUE(edit);
    EditParams expected = base_;
    expected.temperature = 5700;
    expected.tint = 7;
    expected.exposure = 0;
    expected.contrast = 21;
    expected.highlights = -100;
    expected.whites = 56;
    expected.vibrance = 21;
    expected.sharpening = {.amount = 25, .radius = 1, .detail = 25, .masking = 0};
    expected.toneCurve = ToneCurve::identity();
    expected.hsl.hue = {};
    EXPECT_EQ(*edit, expected);
}

TEST(XMPSidecarNumbers, WholeTextWithoutTheLocaleAndFinite) {
    EXPECT_EQ(XMPSidecar::parseNumber(" \n+0.50\t"), 0.5);
    EXPECT_EQ(XMPSidecar::parseNumber("1e3"), 1000);
    EXPECT_EQ(XMPSidecar::parseNumber("++5"), 5);  // one "+" is dropped, the conversion takes one
    for (const char* text : {"", "+", "1,5", "0.5abc", "+ 5", "five", "nan", "infinity"}) {
        EXPECT_EQ(XMPSidecar::parseNumber(text), std::nullopt) << text;
    }
    EXPECT_EQ(XMPSidecar::parseNumber(std::string("5\0", 2)), std::nullopt);
    EXPECT_EQ(XMPSidecar::parseCurvePoint(",-1,,300,"), (CurvePoint{-1, 300}));
    for (const char* text : {"", "1", "1,2,3", "1;2"}) {
        EXPECT_EQ(XMPSidecar::parseCurvePoint(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace quillmere
