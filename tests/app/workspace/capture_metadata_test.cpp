#include <gtest/gtest.h>

#include <QLabel>
#include <QTextDocument>

#include "app/state/scripted_engine.h"
#include "app/workspace/capture_metadata_text.h"
#include "app/workspace/capture_metadata_view.h"

namespace quillmere {
namespace {

using json::Json;

// The first line's four texts.
std::vector<std::string> firstLine(const Json& properties) {
    const CaptureMetadataText text = CaptureMetadataText::from(properties);
    return {text.iso, text.focalLength, text.aperture, text.exposureTime};
}

TEST(CaptureMetadataText, NumbersAreFormattedAndAnythingElseTakesTheDash) {
    struct Case {
        Json exif;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {Json::object(), {"ISO —", "— mm", "ƒ/—", "— s"}},
        {{{"ISOSpeedRatings", {100, 200}}, {"FocalLength", 35.0}, {"FNumber", 2.8},
          {"ExposureTime", 0.004}},
         {"ISO 100", "35 mm", "ƒ/2.8", "1/250s"}},
        {{{"ISOSpeedRatings", Json::array()}, {"FocalLength", 23.96}, {"FNumber", 8.0},
          {"ExposureTime", 0.3}},
         {"ISO —", "24.0 mm", "ƒ/8", "1/3s"}},
        {{{"FocalLength", 4.25}, {"ExposureTime", 1.0}}, {"ISO —", "4.2 mm", "ƒ/—", "1s"}},
        {{{"ExposureTime", 2.5}}, {"ISO —", "— mm", "ƒ/—", "2.5s"}},
        {{{"ExposureTime", 0}}, {"ISO —", "— mm", "ƒ/—", "0s"}},
        {{{"ExposureTime", -2}}, {"ISO —", "— mm", "ƒ/—", "-2s"}},
        // A reciprocal beyond 64 bits keeps the decimal form.
        {{{"ExposureTime", 1e-30}}, {"ISO —", "— mm", "ƒ/—", "0.0s"}},
        // Texts, booleans and lists are not numbers.
        {{{"ISOSpeedRatings", {"100"}}, {"FocalLength", "100"}, {"FNumber", true},
          {"ExposureTime", {0.5}}},
         {"ISO —", "— mm", "ƒ/—", "— s"}},
        {{{"ISOSpeedRatings", 100}}, {"ISO —", "— mm", "ƒ/—", "— s"}},
        {{{"ISOSpeedRatings", {6400.0}}}, {"ISO 6400", "— mm", "ƒ/—", "— s"}},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(firstLine({{"{Exif}", test.exif}}), test.expected) << test.exif.dump();
    }
    // "{Exif}" that is not a dictionary, and properties that are not one either.
    const std::vector<std::string> dashes = {"ISO —", "— mm", "ƒ/—", "— s"};
    EXPECT_EQ(firstLine({{"{Exif}", Json::array({1})}}), dashes);
    EXPECT_EQ(firstLine(Json("text")), dashes);
}

TEST(CaptureMetadataText, ModelAndTooltipTakeOnlyTexts) {
    const Json lensOnly = {{"{Exif}", {{"LensModel", "FE 35mm F1.8"}}},
                           {"{TIFF}", {{"Model", "ILCE-7M3"}}}};
    CaptureMetadataText text = CaptureMetadataText::from(lensOnly);
    EXPECT_EQ(text.model, "ILCE-7M3");
    EXPECT_EQ(text.toolTip, "FE 35mm F1.8");

    const Json both = {{"{Exif}", {{"LensModel", "FE 35mm F1.8"},
                                   {"DateTimeOriginal", "2024:13:45 99:00:00"}}},
                       {"{TIFF}", {{"Model", 7}}}};
    text = CaptureMetadataText::from(both);
    EXPECT_EQ(text.model, std::nullopt);
    EXPECT_EQ(text.toolTip, "FE 35mm F1.8 · 2024:13:45 99:00:00") << "the date as stored";
    EXPECT_EQ(CaptureMetadataText::from(Json::object()).toolTip, "");
}

TEST(CaptureMetadataView, HiddenWithoutAPhotoAndTheModelLineOnlyWithAModel) {
    QWidget window;
    CaptureMetadataView& view = *new CaptureMetadataView(&window);
    window.show();
    EXPECT_FALSE(view.isVisible());

    OpenedPhoto photo = scriptedPhoto("/photos/a.dng");
    photo.exif = {{"{Exif}", {{"FNumber", 2.8}, {"LensModel", "<b>Lens</b> & co"}}}};
    view.setPhoto(photo);
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.findChild<QLabel*>("captureAperture")->text(), "ƒ/2.8");
    EXPECT_FALSE(view.findChild<QLabel*>("captureModel")->isVisible());
    QTextDocument toolTip;
    toolTip.setHtml(view.toolTip());
    EXPECT_EQ(toolTip.toPlainText(), "<b>Lens</b> & co") << "markup in a file is text";

    photo.exif["{TIFF}"] = {{"Model", "ILCE-7M3"}};
    view.setPhoto(photo);
    EXPECT_EQ(view.findChild<QLabel*>("captureModel")->text(), "ILCE-7M3");
    EXPECT_TRUE(view.findChild<QLabel*>("captureModel")->isVisible());

    view.setPhoto(std::nullopt);
    EXPECT_FALSE(view.isVisible());
}

}  // namespace
}  // namespace quillmere
