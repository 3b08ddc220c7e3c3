#include <gtest/gtest.h>

#include <QSlider>
#include <QTest>
#include <functional>

#include "app/panels/hsl_section.h"
#include "app/panels/slider_panel.h"
#include "app/panels/tone_curve_section.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::settle;

// Every kind of drag in the inspector, begun on a and carried on after b opened with the button
// still held: a keeps what the drag made of it until the switch, b is never written.
TEST(PhotoGestures, ADragInTheInspectorEndsWithThePhotoItBeganOn) {
    testing::StateHarness harness;
    AppState& state = *harness.state;
    SliderPanel inspector(state, *harness.preferences);
    inspector.resize(340, 700);
    inspector.show();
    const std::filesystem::path a = harness.file("a.dng"), b = harness.file("b.dng");
    harness.open(a);
    // b starts from a's edit, its selected point colour included, so that any write to b shows.
    state.updateEditParams([](EditParams& edit) { edit.hsl.points.emplace_back(120, 0.5, 0.5); });
    state.setSelectedPointColor(state.editParams().hsl.points[0].id);
    PhotoSessionState& startOfB = AppStateTesting::sessionState(state, b);
    startOfB.params = startOfB.baseline = state.editParams();
    settle();

    auto& mixer = static_cast<HSLSection&>(*inspector.group("colorMixer"));
    auto& curve = static_cast<ToneCurveSection&>(*inspector.group("toneCurve"));
    const auto slider = [&](const char* name) -> QWidget* {
        return testing::childWith<QSlider>(inspector, name);
    };
    const auto onTab = [&](const char* tab, const char* name) {
        return [&, tab, name] {
            mixer.setTab(tab);
            settle();
            return slider(name);
        };
    };
    const std::pair<const char*, std::function<QWidget*()>> drags[] = {
        {"slider row", [&] { return slider("Exposure"); }},
        {"sharpening", [&] { return slider("Sharpening amount"); }},
        {"mixer", onTab("Mixer", "Red Hue")},
        {"point colour", onTab("Point Color", "Hue Shift")},
        {"tone curve", [&] { return curve.canvas(); }},
    };
    for (const auto& [name, target] : drags) {
        harness.open(a);
        settle();
        QWidget* widget = target();
        ASSERT_NE(widget, nullptr) << name;
        // From the middle (a slider's handle at 0), to the right and up.
        const QPoint from = widget->rect().center();
        const QPoint step(widget->width() / 10, -widget->height() / 10);
        const EditParams before = state.editParams();
        QTest::mousePress(widget, Qt::LeftButton, {}, from);
        QTest::mouseMove(widget, from + step);
        const EditParams atSwitch = state.editParams();
        EXPECT_NE(atSwitch, before) << name << ": the drag edits a";

        harness.open(b);
        settle();
        const EditParams opened = state.editParams();
        QTest::mouseMove(widget, from + 2 * step);
        QTest::mouseMove(widget, from + 3 * step);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, from + 3 * step);
        settle();
        EXPECT_EQ(state.editParams(), opened) << name << ": b is not written";
        EXPECT_EQ(AppStateTesting::sessionState(state, a).params, atSwitch) << name;
    }
}

}  // namespace
}  // namespace quillmere
