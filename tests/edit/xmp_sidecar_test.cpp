#include "core/edit/xmp_sidecar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/edit/edit_test_support.h"
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

std::string curve(const std::string& name, const std::vector<std::string>& points) {
    std::string items;
    for (const std::string& point : points) items += "<rdf:li>" + point + "</rdf:li>";
    return "<crs:" + name + "><rdf:Seq>" + items + "</rdf:Seq></crs:" + name + ">";
}

class XMPSidecarTest : public ::testing::Test {
  protected:
    void write(const std::string& name, const std::string& contents) const {
        std::ofstream(folder_ / name, std::ios::binary) << contents;
    }
    // Imports `sidecar` as the sidecar of "photo.CR3" over a busy edit.
    EditParams import(const std::string& sidecar) const {
        write("photo.xmp", sidecar);
        const auto edit = XMPSidecar::editParams(folder_ / "photo.CR3", base_);
        EXPECT_TRUE(edit) << sidecar;
        return edit.value_or(EditParams{});
    }

    const quillmere::testing::TemporaryFolder temporary_;
    const fs::path folder_ = temporary_.path();
    const EditParams base_ = testing::busyEdit();
};

TEST_F(XMPSidecarTest, MissingUnreadableOrMalformedSidecarGivesNothing) {
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "photo.CR3", base_));
    // The settings come before the fault, yet the document as a whole is not well-formed.
    write("photo.xmp", packet(R"(crs:Exposure2012="1")", "<crs:Tint>3</crs:Tint>") + "<broken");
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "photo.CR3", base_));
    fs::create_directory(folder_ / "folder.xmp");
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "folder.CR3", base_));
    // Only the last extension is replaced: "a.b.xmp" belongs to "a.b.CR3", never to "a.CR3".
    write("a.b.xmp", packet(R"(crs:Exposure2012="1.5")"));
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "a.CR3", base_));
}

// Cameras and other programs often write the extension in upper case, and file names are
// case-sensitive here: the upper-case sidecar is read when no lower-case one is beside the photo.
TEST_F(XMPSidecarTest, UpperCaseSidecarExtensionIsRead) {
    const struct {
        std::string photo;
        std::vector<std::pair<std::string, std::string>> sidecars;  // file name, Exposure2012
        double exposure;
    } cases[] = {
        {"X.NEF", {{"X.XMP", "1.5"}}, 1.5},
        {"x.dng", {{"x.XMP", "-0.75"}}, -0.75},
        {"a.b.CR3", {{"a.b.XMP", "2"}}, 2},
        {"Y.NEF", {{"Y.xmp", "0.25"}, {"Y.XMP", "3"}}, 0.25},  // the lower-case name comes first
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.photo);
        for (const auto& [name, exposure] : each.sidecars)
            write(name, packet("crs:Exposure2012=\"" + exposure + "\""));
        const auto edit = XMPSidecar::editParams(folder_ / each.photo, base_);
        EXPECT_TRUE(edit);
        if (edit) EXPECT_EQ(edit->exposure, each.exposure);
    }
}

TEST_F(XMPSidecarTest, NeverLoadsExternalEntitiesAndStopsExpansionBombs) {
    write("secret.txt", "42");
    const std::string external = "<!DOCTYPE x:xmpmeta [<!ENTITY secret SYSTEM \"" +
                                 (folder_ / "secret.txt").string() + "\">]>";
    EXPECT_EQ(import(external + packet("", "<crs:Tint>&secret;</crs:Tint>")).tint, base_.tint);

    std::string bomb = "<!DOCTYPE x:xmpmeta [<!ENTITY e0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
    for (int level = 1; level <= 12; ++level) {
        std::string expansion;
        for (int copy = 0; copy < 10; ++copy) expansion += "&e" + std::to_string(level - 1) + ";";
        bomb += "<!ENTITY e" + std::to_string(level) + " \"" + expansion + "\">";
    }
    write("photo.xmp", bomb + "]>" + packet("", "<crs:Tint>&e12;</crs:Tint>"));
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "photo.CR3", base_));
}

TEST_F(XMPSidecarTest, ValuesAreCopiedUnconvertedAndOnlySharpeningIsClamped) {
    const EditParams edit = import(packet(
        R"(crs:Exposure2012="+0.50" crs:Tint="-7" crs:Contrast2012="250" crs:Sharpness="200")"
        R"( crs:SharpenRadius="0.1" crs:HueAdjustmentOrange="-15" crs:HueAdjustmentPink="40")",
        "<crs:Highlights2012>\n  -100 \n</crs:Highlights2012>"
        "<crs:SharpenDetail>40</crs:SharpenDetail><crs:SaturationAdjustmentAqua>120"
        "</crs:SaturationAdjustmentAqua>"));
    EditParams expected = base_;
    expected.exposure = 0.5;
    expected.tint = -7;
    expected.contrast = 250;
    expected.highlights = -100;
    expected.sharpening = {.amount = 150, .radius = 0.5, .detail = 40};
    expected.hsl.hue[1] = -15;
    expected.hsl.saturation[4] = 120;
    EXPECT_EQ(edit, expected);
}

// Whatever form a key takes, its first value in the document holds it; a number is read with the
// one sign it may carry, a plus sign included, but nothing between the sign and the digits.
TEST_F(XMPSidecarTest, TheFirstTextMetHoldsItsKey) {
    const struct {
        std::string attributes, body;
        double tint;
    } cases[] = {
        {R"(crs:Tint="warm")", "<crs:Tint>9</crs:Tint>", 10},        // not a number, yet first
        {R"(crs:Tint="4")", "<crs:Tint>9</crs:Tint>", 4},            // attributes come first
        {"", "<crs:Tint> \n </crs:Tint><crs:Tint>4</crs:Tint>", 4},  // blank text holds nothing
        {R"(crs:Tint="1e999")", "", 10},
        {R"(crs:Tint="4")", R"(<rdf:Bag crs:Tint="9"/>)", 4},
        {"", R"(<rdf:Bag crs:Tint="9"/><rdf:Seq crs:Tint="4"/>)", 9},
        {"", "<crs:Tint>9</crs:Tint><crs:Tint>4</crs:Tint>", 9},
        {R"(crs:Tint="")", "<crs:Tint>4</crs:Tint>", 10},  // an empty attribute holds its key
        {R"(crs:Tint=" -5 ")", "", -5},
        {R"(crs:Tint="++5")", "", 5},  // one plus sign is dropped, the conversion takes the other
        {R"(crs:Tint="+-5")", "", -5},
        {R"(crs:Tint="+ 5")", "", 10},
        {R"(crs:Tint="- 5")", "", 10},
        {R"(crs:Tint="-inf")", "", 10},
        {"", "<crs:Tint>+nan</crs:Tint>", 10},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.attributes + each.body);
        EXPECT_EQ(import(packet(each.attributes, each.body)).tint, each.tint);
    }
}

TEST_F(XMPSidecarTest, CurvesReplaceTheirOwnChannelOutsideLooksOnly) {
    const EditParams edit = import(packet(
        "",
        "<crs:Look><crs:Parameters crs:Vibrance=\"33\">" +
            curve("ToneCurvePV2012Green", {"0, 40", "255, 200"}) + "</crs:Parameters></crs:Look>" +
            curve("ToneCurvePV2012", {"0, 0", "128, nan", "+128 , 140", "1,2,3", "255, 255"}) +
            curve("ToneCurvePV2012Red", {"1", "x, 2"}) + curve("ToneCurvePV2012Red", {"0, 5"})));
    EXPECT_EQ(edit.toneCurve.rgb, (std::vector<CurvePoint>{{0, 0}, {128, 140}, {255, 255}}));
    // A curve without a valid point leaves its key to the next curve of that name.
    EXPECT_EQ(edit.toneCurve.red, (std::vector<CurvePoint>{{0, 5}}));
    EXPECT_EQ(edit.toneCurve.green, base_.toneCurve.green);
    EXPECT_EQ(edit.vibrance, 33);  // scalars inside a look do count
}

TEST_F(XMPSidecarTest, RealCameraRawRecordInElementForm) {
    fs::copy_file(fs::path(QUILLMERE_TEST_DATA_DIR) / "exiv2_IMG_1913_jxr-embedded.xmp",
                  folder_ / "IMG_1913.xmp");
    const auto edit = XMPSidecar::editParams(folder_ / "IMG_1913.CR2", EditParams{});
    ASSERT_TRUE(edit);
    EditParams expected = EditParams::neutral(5700, 7);
    expected.contrast = 21;
    expected.highlights = -100;
    expected.whites = 56;
    expected.vibrance = 21;
    expected.sharpening = {.amount = 25, .radius = 1, .detail = 25, .masking = 0};
    EXPECT_EQ(*edit, expected);
}

}  // namespace
}  // namespace quillmere
