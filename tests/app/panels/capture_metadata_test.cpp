#include <gtest/gtest.h>

#include <QLabel>
#include <QTextDocument>

#include "app/panels/capture_metadata_text.h"
#include "app/panels/capture_metadata_view.h"
#include "app/state/scripted_engine.h"

namespace quillmere {
namespace {

using json::Json;

TEST(CaptureMetadataText, NumbersAreFormattedAndAnythingElseTakesTheDash) {
    const std::pair<Json, std::string> cases[] = {
        {{{"ISOSpeedRatings", {100, 200}}, {"FocalLength", 35.0}, {"FNumber", 2.8},
          {"ExposureTime", 0.004}},
         "ISO 100|35 mm|ƒ/2.8|1/250s"},
        {{{"ISOSpeedRatings", Json::array()}, {"FocalLength", 23.96}, {"FNumber", 8.0},
          {"ExposureTime", 0.3}},
         "ISO —|24.0 mm|ƒ/8|1/3s"},
        {{{"ISOSpeedRatings", {6400.0}}, {"FocalLength", 4.25}, {"ExposureTime", 1.0}},
         "ISO 6400|4.2 mm|ƒ/—|1s"},
        {{{"ExposureTime", 2.5}}, "ISO —|— mm|ƒ/—|2.5s"},
        {{{"ExposureTime", -2}}, "ISO —|— mm|ƒ/—|-2s"},
        // A reciprocal beyond 64 bits keeps the decimal form.
        {{{"ExposureTime", 1e-30}}, "ISO —|— mm|ƒ/—|0.0s"},
        // Texts, booleans, lists and a bare ISO are not what they should be.
        {{{"ISOSpeedRatings", 100}, {"FocalLength", "100"}, {"FNumber", true},
          {"ExposureTime", {0.5}}},
         "ISO —|— mm|ƒ/—|— s"},
    };
    const auto firstLine = [](const Json& properties) {
        const CaptureMetadataText text = CaptureMetadataText::from(properties);
        return text.iso + "|" + text.focalLength + "|" + text.aperture + "|" + text.exposureTime;
    };
    for (const auto& [exif, expected] : cases) {
        EXPECT_EQ(firstLine({{"{Exif}", exif}}), expected) << exif.dump();
    }
    EXPECT_EQ(firstLine({{"{Exif}", Json::array({1})}}), "ISO —|— mm|ƒ/—|— s");
    EXPECT_EQ(firstLine(Json("not a dictionary")), "ISO —|— mm|ƒ/—|— s");
}

TEST(CaptureMetadataView, HiddenWithoutAPhotoWithTheModelLineAndTooltipOnlyFromTexts) {
    QWidget window;
    CaptureMetadataView& view = *new CaptureMetadataView(&window);
    window.show();

    OpenedPhoto photo = scriptedPhoto("/photos/a.dng");
    photo.exif = {{"{Exif}", {{"FNumber", 2.8}, {"LensModel", "<b>Lens</b> & co"}}},
                  {"{TIFF}", {{"Model", 7}}}};
    view.setPhoto(photo);
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.findChild<QLabel*>("captureAperture")->text(), "ƒ/2.8");
    EXPECT_FALSE(view.findChild<QLabel*>("captureModel")->isVisible());

    photo.exif["{TIFF}"]["Model"] = "ILCE-7M3";
    photo.exif["{Exif}"]["DateTimeOriginal"] = "2024:13:45 99:00:00";
    view.setPhoto(photo);
    EXPECT_EQ(view.findChild<QLabel*>("captureModel")->text(), "ILCE-7M3");
    EXPECT_TRUE(view.findChild<QLabel*>("captureModel")->isVisible());
    QTextDocument toolTip;
    toolTip.setHtml(view.toolTip());
    EXPECT_EQ(toolTip.toPlainText(), "<b>Lens</b> & co · 2024:13:45 99:00:00")
        << "markup in a file is text";

    view.setPhoto(std::nullopt);
    EXPECT_FALSE(view.isVisible());
}

}  // namespace
}  // namespace quillmere
