#include "core/edit/xmp_sidecar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/edit/xmp_sidecar_delegate.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

// A Camera Raw description wrapped in the packet that other programs write.
std::string packet(const std::string& attributes, const std::string& body) {
    return R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
           R"(<rdf:Description rdf:about="" xmlns:crs="http://ns.adobe.com/camera-raw-settings/1.0/" )" +
           attributes + ">" + body + "</rdf:Description></rdf:RDF></x:xmpmeta>";
}

std::string curve(const std::string& name, const std::string& items) {
    return "<crs:" + name + "><rdf:Seq>" + items + "</rdf:Seq></crs:" + name + ">";
}

// A base unlike the defaults in every field the import may touch or must keep.
EditParams distinctiveBase() {
    EditParams base = EditParams::neutral(6100, 3);
    base.exposure = 0.25;
    base.contrast = 5;
    base.denoise = 30;
    base.denoiseMethod = DenoiseMethod::matchFilter;
    base.sharpening = SharpeningSettings::classic();
    base.toneCurve.rgb = {{0, 10}, {255, 245}};
    base.toneCurve.green = {{0, 0}, {128, 120}, {255, 255}};
    base.hsl.blackAndWhite = true;
    base.hsl.points.emplace_back(200, 0.5, 0.5);
    base.hsl.hue[1] = 12;
    base.spotRepairs.push_back({UUID::random(), 0.5, 0.5, 0.05, {}});
    return base;
}

class XMPSidecarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("quillmere-xmp-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void writeFile(const std::string& name, const std::string& contents) const {
        std::ofstream(folder_ / name, std::ios::binary) << contents;
    }
    // Imports `sidecar` as the sidecar of "photo.CR3".
    std::optional<EditParams> import(const std::string& sidecar) const {
        writeFile("photo.xmp", sidecar);
        return XMPSidecar::editParams(folder_ / "photo.CR3", base_);
    }

    fs::path folder_;
    const EditParams base_ = distinctiveBase();
};

TEST_F(XMPSidecarTest, MissingOrMalformedSidecarGivesNothing) {
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "photo.CR3", base_));
    // The settings come before the fault, yet a document that is not well-formed gives nothing.
    EXPECT_FALSE(import(packet(R"(crs:Exposure2012="1")", "<crs:Tint>3</crs:Tint>") + "<broken"));
    fs::remove(folder_ / "photo.xmp");
    fs::create_directory(folder_ / "photo.xmp");
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "photo.CR3", base_));
}

TEST_F(XMPSidecarTest, OnlyTheLastExtensionIsReplaced) {
    const std::string sidecar = packet(R"(crs:Exposure2012="1.5")", "");
    writeFile("a.b.xmp", sidecar);
    writeFile("bare.xmp", sidecar);
    EXPECT_EQ(XMPSidecar::editParams(folder_ / "a.b.CR3", {})->exposure, 1.5);
    EXPECT_EQ(XMPSidecar::editParams(folder_ / "bare", {})->exposure, 1.5);
    EXPECT_FALSE(XMPSidecar::editParams(folder_ / "a.CR3", {}));
}

TEST_F(XMPSidecarTest, UpperCaseExtensionIsTheFallback) {
    writeFile("upper.XMP", packet(R"(crs:Exposure2012="2")", ""));
    EXPECT_EQ(XMPSidecar::editParams(folder_ / "upper.NEF", {})->exposure, 2);
    writeFile("upper.xmp", packet(R"(crs:Exposure2012="-1")", ""));
    EXPECT_EQ(XMPSidecar::editParams(folder_ / "upper.NEF", {})->exposure, -1);
}

TEST_F(XMPSidecarTest, AttributeAndElementFormsBothCount) {
    EXPECT_EQ(import(packet(R"(crs:Exposure2012="+0.50")", ""))->exposure, 0.5);
    EXPECT_EQ(import(packet("", "<crs:Exposure2012>\n   +0.50  \n</crs:Exposure2012>"))->exposure,
              0.5);
}

TEST_F(XMPSidecarTest, ValuesAreCopiedWithoutConversionAndOnlySharpeningIsClamped) {
    const auto edit = import(
        packet(R"(crs:Temperature="5200" crs:Tint="-7" crs:Contrast2012="250" crs:Sharpness="200")"
               R"( crs:SharpenRadius="0.1" crs:SharpenDetail="40" crs:SharpenEdgeMasking="101")",
               "<crs:Highlights2012>-100</crs:Highlights2012><crs:Shadows2012>30</crs:Shadows2012>"
               "<crs:Whites2012>56</crs:Whites2012><crs:Blacks2012>-4</crs:Blacks2012>"
               "<crs:Vibrance>21</crs:Vibrance><crs:Saturation>-500</crs:Saturation>"));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->temperature, 5200);
    EXPECT_EQ(edit->tint, -7);
    EXPECT_EQ(edit->contrast, 250);
    EXPECT_EQ(edit->highlights, -100);
    EXPECT_EQ(edit->shadows, 30);
    EXPECT_EQ(edit->whites, 56);
    EXPECT_EQ(edit->blacks, -4);
    EXPECT_EQ(edit->vibrance, 21);
    EXPECT_EQ(edit->saturation, -500);
    EXPECT_EQ(edit->exposure, 0.25);
    EXPECT_EQ(edit->sharpening,
              (SharpeningSettings{.amount = 150, .radius = 0.5, .detail = 40, .masking = 100}));
}

TEST_F(XMPSidecarTest, TheFirstValueOfAKeyWinsEvenWhenItIsNoNumber) {
    EXPECT_EQ(
        import(packet(R"(crs:Exposure2012="bright")", "<crs:Exposure2012>1</crs:Exposure2012>"))
            ->exposure,
        0.25);
    // Attributes count at their element's start, before anything inside it.
    EXPECT_EQ(import(packet(R"(crs:Tint="4")", "<crs:Tint>9</crs:Tint>"))->tint, 4);
    EXPECT_EQ(import(packet("", "<crs:Tint>9</crs:Tint><crs:Tint>4</crs:Tint>"))->tint, 9);
}

TEST_F(XMPSidecarTest, BlankElementTextDoesNotHoldTheKeyButAnEmptyAttributeDoes) {
    EXPECT_EQ(import(packet("", "<crs:Tint> \n </crs:Tint><crs:Tint>4</crs:Tint>"))->tint, 4);
    EXPECT_EQ(import(packet(R"(crs:Tint="")", "<crs:Tint>4</crs:Tint>"))->tint, 3);
}

TEST_F(XMPSidecarTest, ElementInsideAScalarEndsItsText) {
    EXPECT_EQ(import(packet("", "<crs:Tint>1<rdf:x/>2</crs:Tint>"))->tint, 3);
}

TEST_F(XMPSidecarTest, NonFiniteNumbersAreNotNumbers) {
    const auto edit =
        import(packet(R"(crs:Exposure2012="nan" crs:Contrast2012="inf" crs:Vibrance="1e999")",
                      curve("ToneCurvePV2012",
                            "<rdf:li>0, nan</rdf:li><rdf:li>64, 70</rdf:li>"
                            "<rdf:li>infinity, 3</rdf:li><rdf:li>255, 255</rdf:li>")));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->exposure, 0.25);
    EXPECT_EQ(edit->contrast, 5);
    EXPECT_EQ(edit->vibrance, 0);
    EXPECT_EQ(edit->toneCurve.rgb, (std::vector<CurvePoint>{{64, 70}, {255, 255}}));
}

TEST_F(XMPSidecarTest, CDATATextIsNotAValue) {
    EXPECT_EQ(import(packet("", "<crs:Tint><![CDATA[8]]></crs:Tint>"))->tint, 3);
}

TEST_F(XMPSidecarTest, CurveReplacesOnlyItsOwnChannel) {
    const EditParams& base = base_;
    const auto edit = import(packet(
        "", curve("ToneCurvePV2012",
                  "<rdf:li>0, 0</rdf:li><rdf:li>128, 140</rdf:li><rdf:li>255, 255</rdf:li>")));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->toneCurve.rgb, (std::vector<CurvePoint>{{0, 0}, {128, 140}, {255, 255}}));
    EXPECT_EQ(edit->toneCurve.red, base.toneCurve.red);
    EXPECT_EQ(edit->toneCurve.green, base.toneCurve.green);
    EXPECT_EQ(edit->toneCurve.blue, base.toneCurve.blue);
}

TEST_F(XMPSidecarTest, ColourChannelCurvesMapToTheirChannels) {
    const auto edit = import(packet(
        "", curve("ToneCurvePV2012Red", "<rdf:li>0, 5</rdf:li><rdf:li>255, 250</rdf:li>") +
                curve("ToneCurvePV2012Green", "<rdf:li>0, 6</rdf:li><rdf:li>255, 251</rdf:li>") +
                curve("ToneCurvePV2012Blue", "<rdf:li>0, 7</rdf:li><rdf:li>300, 252</rdf:li>")));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->toneCurve.rgb, base_.toneCurve.rgb);
    EXPECT_EQ(edit->toneCurve.red, (std::vector<CurvePoint>{{0, 5}, {255, 250}}));
    EXPECT_EQ(edit->toneCurve.green, (std::vector<CurvePoint>{{0, 6}, {255, 251}}));
    EXPECT_EQ(edit->toneCurve.blue, (std::vector<CurvePoint>{{0, 7}, {300, 252}}));
}

TEST_F(XMPSidecarTest, CurveWithoutValidPointsLeavesTheKeyOpenForALaterOne) {
    const std::string invalid =
        curve("ToneCurvePV2012", "<rdf:li>1</rdf:li><rdf:li>1,2,3</rdf:li>");
    EXPECT_EQ(import(packet("", invalid))->toneCurve.rgb, base_.toneCurve.rgb);
    EXPECT_EQ(import(packet("", invalid + curve("ToneCurvePV2012", "<rdf:li>0,9</rdf:li>")))
                  ->toneCurve.rgb,
              (std::vector<CurvePoint>{{0, 9}}));
    EXPECT_EQ(import(packet("", curve("ToneCurvePV2012", "<rdf:li>0,1</rdf:li>") +
                                    curve("ToneCurvePV2012", "<rdf:li>0,9</rdf:li>")))
                  ->toneCurve.rgb,
              (std::vector<CurvePoint>{{0, 1}}));
}

TEST_F(XMPSidecarTest, LookCurvesAreIgnoredButLookAttributesCount) {
    const auto edit = import(packet(
        "",
        "<crs:Look><rdf:Description crs:Vibrance=\"33\"><crs:Parameters "
        "crs:Exposure2012=\"0.7\">" +
            curve("ToneCurvePV2012", "<rdf:li>0, 40</rdf:li><rdf:li>255, 200</rdf:li>") +
            "</crs:Parameters></rdf:Description></crs:Look>" + "<crs:Vibrance>10</crs:Vibrance>" +
            curve("ToneCurvePV2012Red", "<rdf:li>0, 1</rdf:li><rdf:li>255, 254</rdf:li>")));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->vibrance, 33);
    EXPECT_EQ(edit->exposure, 0.7);
    EXPECT_EQ(edit->toneCurve.rgb, base_.toneCurve.rgb);
    // After the look closes, curves count again.
    EXPECT_EQ(edit->toneCurve.red, (std::vector<CurvePoint>{{0, 1}, {255, 254}}));
}

TEST_F(XMPSidecarTest, ColourMixerKeysSetTheirBand) {
    const auto edit = import(packet(
        R"(crs:HueAdjustmentOrange="-15" crs:HueAdjustmentPink="40" crs:SaturationAdjustmentAqua="120")",
        "<crs:LuminanceAdjustmentMagenta>+22</crs:LuminanceAdjustmentMagenta>"
        "<crs:HueAdjustmentred>9</crs:HueAdjustmentred>"));
    ASSERT_TRUE(edit);
    HSLAdjustments expected = base_.hsl;
    expected.hue[1] = -15;
    expected.saturation[4] = 120;  // unclamped
    expected.luminance[7] = 22;
    EXPECT_EQ(edit->hsl, expected);
}

TEST_F(XMPSidecarTest, OnlyThePrefixCrsCounts) {
    const EditParams& base = base_;
    const auto edit = import(packet(
        R"(xmlns:cr="http://ns.adobe.com/camera-raw-settings/1.0/" cr:Exposure2012="3" Tint="9")",
        "<cr:Temperature>3000</cr:Temperature><Vibrance>4</Vibrance>"
        "<crsx:Contrast2012 xmlns:crsx=\"urn:x\">8</crsx:Contrast2012>"));
    ASSERT_TRUE(edit);
    EXPECT_EQ(*edit, base);
}

TEST_F(XMPSidecarTest, FieldsOutsideTheKeyTablesKeepTheBase) {
    const EditParams& base = base_;
    auto edit = import(packet(R"(crs:Exposure2012="1")",
                              "<crs:ConvertToGrayscale>False</crs:ConvertToGrayscale>"
                              "<crs:LuminanceSmoothing>40</crs:LuminanceSmoothing>"));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->denoise, base.denoise);
    EXPECT_EQ(edit->denoiseMethod, base.denoiseMethod);
    EXPECT_EQ(edit->hsl.points, base.hsl.points);
    EXPECT_TRUE(edit->hsl.blackAndWhite);
    EXPECT_EQ(edit->spotRepairs, base.spotRepairs);
    edit->exposure = base.exposure;
    EXPECT_EQ(*edit, base);
}

TEST_F(XMPSidecarTest, RealCameraRawRecordInElementForm) {
    fs::copy_file(fs::path(QUILLMERE_TEST_DATA_DIR) / "exiv2_IMG_1913_jxr-embedded.xmp",
                  folder_ / "IMG_1913.xmp");
    const auto edit = XMPSidecar::editParams(folder_ / "IMG_1913.CR2", base_);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->temperature, 5700);
    EXPECT_EQ(edit->tint, 7);
    EXPECT_EQ(edit->exposure, 0);
    EXPECT_EQ(edit->contrast, 21);
    EXPECT_EQ(edit->highlights, -100);
    EXPECT_EQ(edit->shadows, 0);
    EXPECT_EQ(edit->whites, 56);
    EXPECT_EQ(edit->blacks, 0);
    EXPECT_EQ(edit->vibrance, 21);
    EXPECT_EQ(edit->saturation, 0);
    EXPECT_EQ(edit->sharpening, (SharpeningSettings{.amount = 25, .radius = 1, .detail = 25}));
    EXPECT_EQ(edit->toneCurve, ToneCurve::identity());
    EXPECT_EQ(edit->hsl.hue, HSLAdjustments::BandValues{});
    EXPECT_EQ(edit->denoise, 30);
}

TEST_F(XMPSidecarTest, RealSidecarsWithoutDevelopSettingsLeaveTheBase) {
    const EditParams& base = base_;
    for (const char* name : {"imagemeta_XMP.xmp", "exiftool_XMP.xmp"}) {
        SCOPED_TRACE(name);
        fs::copy_file(fs::path(QUILLMERE_TEST_DATA_DIR) / name, folder_ / "real.xmp",
                      fs::copy_options::overwrite_existing);
        const auto edit = XMPSidecar::editParams(folder_ / "real.dng", base);
        ASSERT_TRUE(edit);
        EXPECT_EQ(*edit, base);
    }
}

TEST(XMPSidecarNames, CameraRawNamesNeedThePrefixCrs) {
    using XMPSidecar::Delegate;
    EXPECT_TRUE(Delegate::isLookElement("crs:Look"));
    EXPECT_FALSE(Delegate::isLookElement("Look"));
    EXPECT_FALSE(Delegate::isLookElement("crsx:Look"));
    EXPECT_FALSE(Delegate::isLookElement("crs:Looks"));
    EXPECT_EQ(Delegate::crsScalarKey("crs:SharpenEdgeMasking"), "SharpenEdgeMasking");
    EXPECT_EQ(Delegate::crsScalarKey("crs:HueAdjustmentAnything"), "HueAdjustmentAnything");
    EXPECT_EQ(Delegate::crsScalarKey("crs:exposure2012"), std::nullopt);
    EXPECT_EQ(Delegate::crsScalarKey("crs:a:Tint"), std::nullopt);
    EXPECT_EQ(Delegate::crsScalarKey("Tint"), std::nullopt);
    EXPECT_EQ(Delegate::crsScalarKey("crs:ToneCurvePV2012"), std::nullopt);
    EXPECT_EQ(Delegate::crsCurveKey("crs:ToneCurvePV2012Blue"), "ToneCurvePV2012Blue");
    EXPECT_EQ(Delegate::crsCurveKey("crs:ToneCurve"), std::nullopt);
    EXPECT_TRUE(Delegate::isHSLAttribute("LuminanceAdjustment"));
    EXPECT_FALSE(Delegate::isHSLAttribute("Luminance"));
}

TEST(XMPSidecarNumbers, ParseWithoutTheLocaleAndConsumeTheWholeText) {
    EXPECT_EQ(XMPSidecar::parseNumber("+0.50"), 0.5);
    EXPECT_EQ(XMPSidecar::parseNumber(" \n-7\t"), -7);
    EXPECT_EQ(XMPSidecar::parseNumber("1e3"), 1000);
    // One "+" is dropped; the conversion itself takes a sign too.
    EXPECT_EQ(XMPSidecar::parseNumber("+-2"), -2);
    EXPECT_EQ(XMPSidecar::parseNumber("++5"), 5);
    for (const char* text : {"", "+", " ", "1,5", "0.5abc", "+ 5", "+++5", "five", "nan", "-inf",
                             "infinity", "1e999", "0.5\n\n2"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(XMPSidecar::parseNumber(text), std::nullopt);
    }
    EXPECT_EQ(XMPSidecar::parseNumber(std::string("5\0", 2)), std::nullopt);
}

TEST(XMPSidecarNumbers, CurvePointsAreTwoNumbersSeparatedByAComma) {
    EXPECT_EQ(XMPSidecar::parseCurvePoint("128, 140"), (CurvePoint{128, 140}));
    EXPECT_EQ(XMPSidecar::parseCurvePoint(" +1 , 2 "), (CurvePoint{1, 2}));
    EXPECT_EQ(XMPSidecar::parseCurvePoint(",-1,,300,"), (CurvePoint{-1, 300}));
    for (const char* text : {"", ",", "1", "1,", "1,2,3", "a,1", "1;2", "1 2"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(XMPSidecar::parseCurvePoint(text), std::nullopt);
    }
}

}  // namespace
}  // namespace quillmere
