#include "app/panels/slider_panel.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QGraphicsEffect>
#include <QMenu>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <functional>

#include "app/kit/collapsible_group.h"
#include "app/kit/double_slider.h"
#include "app/kit/inspector_settings.h"
#include "app/kit/locator_highlight.h"
#include "app/kit/number_field.h"
#include "app/kit/panel_drag.h"
#include "app/kit/ui_timing.h"
#include "app/panels/color_mixer_view.h"
#include "app/panels/hsl_section.h"
#include "app/panels/mixer_row.h"
#include "app/panels/point_color_editor.h"
#include "app/panels/sharpening_section.h"
#include "app/panels/slider_row.h"
#include "app/panels/tone_curve_section.h"
#include "app/state/color_sampling.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::eventually;
using testing::settle;

TEST(PanelArrangement, ReadsDamagedOrdersAndStoresMovesWhole) {
    const QStringList defaults = PanelArrangement::defaultOrder;
    const auto after = [&](QStringList first) {
        for (const QString& id : defaults) {
            if (!first.contains(id)) first.append(id);
        }
        return first;
    };
    EXPECT_EQ(PanelArrangement::order(""), defaults);
    EXPECT_EQ(PanelArrangement::order("tone,,bogus,whiteBalance"), after({"tone", "whiteBalance"}));
    EXPECT_EQ(PanelArrangement::order("detail,tone,detail"), after({"detail", "tone"}));

    testing::StateHarness harness;
    InspectorSettings settings(*harness.preferences);
    PanelArrangement arrangement(settings);
    arrangement.movePanel("detail", "tone");
    EXPECT_EQ(settings.panelOrder(),
              "whiteBalance,detail,tone,recovery,presence,toneCurve,colorMixer,spotRepair,denoise");
    arrangement.movePanel("whiteBalance", "nowhere");
    EXPECT_EQ(arrangement.order().last(), "whiteBalance");
}

class SliderPanelTest : public ::testing::Test {
  protected:
    SliderPanelTest() {
        inspector.resize(340, 700);
        inspector.show();
        settle();
    }
    void drop(const QString& text, const QString& onto) { drop(text, inspector.panel(onto)); }
    // As the window hands a drop over: to the widget under the pointer, which passes on what it
    // refuses.
    void drop(const QString& text, QWidget* target) {
        QMimeData data;
        data.setText(text);
        const QPointF at = QPointF(target->width() / 2, 5);
        QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        const QString before = settings.panelOrder();
        QDropEvent event(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
        EXPECT_TRUE(event.isAccepted());
        EXPECT_EQ(settings.panelOrder(), before) << "the move waits for the next turn";
        settle();
    }
    int top(const QString& id) {
        return inspector.panel(id)->mapTo(inspector.column(), QPoint()).y();
    }
    QAction* menuItem(const QString& text) {
        return testing::childWith<QAction>(*inspector.optionsMenu(), text, "text");
    }
    void openJPEG() {
        OpenedPhoto jpeg = scriptedPhoto(harness.file("b.jpg"));
        jpeg.isRAW = false;
        harness.open(jpeg.id.url, jpeg);
        settle();
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    InspectorSettings settings{*harness.preferences};
    SliderPanel inspector{state, *harness.preferences};
};

TEST_F(SliderPanelTest, PanelDropsMoveThePanelAboveTheTargetOnTheNextTurn) {
    harness.open(harness.file("a.dng"));
    settle();
    // A panel's drag carries what a drop reads.
    drop(inspector.group("toneCurve")->dragText(), "tone");
    EXPECT_EQ(inspector.panelOrder().mid(0, 3), (QStringList{"whiteBalance", "toneCurve", "tone"}));
    EXPECT_LT(top("toneCurve"), top("tone"));

    // Refused moves store nothing; any text is still accepted as a drop.
    harness.preferences->remove(InspectorSettings::panelOrderKey);
    for (const char* text :
         {"quillmere.panel:tone", "quillmere.panel:", "quillmere.panel:bogus", "tone"}) {
        drop(text, "tone");
    }
    EXPECT_FALSE(harness.preferences->contains(InspectorSettings::panelOrderKey));
    EXPECT_LT(top("whiteBalance"), top("toneCurve")) << "back in the default order";

    // Dropped on a number field, the drag goes on to the panel under it: nothing is typed.
    auto* field = testing::childWith<NumberField>(*inspector.panel("colorMixer"), "Red Hue");
    drop(panelDragText("tone"), field);
    EXPECT_EQ(field->text(), "0");
    EXPECT_EQ(inspector.panelOrder().indexOf("tone") + 1,
              inspector.panelOrder().indexOf("colorMixer"));
}

// Every kind of drag in the inspector, begun on a and carried on after b opened with the button
// held: a keeps what the drag made of it until the switch, b is never written.
TEST_F(SliderPanelTest, ADragEndsWithThePhotoItBeganOn) {
    const std::filesystem::path a = harness.file("a.dng"), b = harness.file("b.dng");
    harness.open(a);
    // b starts from a's edit and its selected point colour, so that any write to b shows.
    state.updateEditParams([](EditParams& edit) { edit.hsl.points.emplace_back(120, 0.5, 0.5); });
    state.setSelectedPointColor(state.editParams().hsl.points[0].id);
    AppStateTesting::sessionState(state, b).params = state.editParams();
    // The tab of the colour mixer, and the slider dragged (none: the tone curve).
    const std::pair<const char*, const char*> drags[] = {{"Mixer", "Exposure"},
                                                         {"Mixer", "Sharpening amount"},
                                                         {"Mixer", "Red Hue"},
                                                         {"Point Color", "Hue Shift"},
                                                         {"Mixer", nullptr}};
    for (auto [tab, slider] : drags) {
        harness.open(a);
        static_cast<HSLSection*>(inspector.group("colorMixer"))->setTab(tab);
        settle();
        QWidget* widget =
            slider ? testing::childWith<QSlider>(inspector, slider)
                   : static_cast<ToneCurveSection*>(inspector.group("toneCurve"))->canvas();
        // From the middle (a slider's handle at 0), to the right and up.
        const QPoint from = widget->rect().center(),
                     step(widget->width() / 10, -widget->height() / 10);
        const EditParams before = state.editParams();
        QTest::mousePress(widget, Qt::LeftButton, {}, from);
        QTest::mouseMove(widget, from + step);
        const EditParams atSwitch = state.editParams();
        harness.open(b);
        settle();
        const EditParams opened = state.editParams();
        QTest::mouseMove(widget, from + 2 * step);
        EXPECT_FALSE(slider && static_cast<QSlider*>(widget)->isSliderDown()) << "let go";
        QTest::mouseRelease(widget, Qt::LeftButton, {}, from + 3 * step);
        EXPECT_EQ(state.editParams(), opened)
            << (slider ? slider : "curve") << ": b is not written";
        EXPECT_EQ(AppStateTesting::sessionState(state, a).params, atSwitch);
        EXPECT_NE(atSwitch, before) << "the drag edited a";
    }
}

// A number typed on a and not yet committed when b opens is dropped, whether Return or leaving
// the field ends it, and even when Return comes before the views have seen b: b is not written, a
// keeps what it had, and the field shows b's value, from the moment it sees b.
TEST_F(SliderPanelTest, ATypedNumberIsDroppedWhenAnotherPhotoOpens) {
    const std::filesystem::path a = harness.file("a.dng"), b = harness.file("b.dng");
    harness.open(a);
    // b starts from a's edit and its selected point colour, so that any write to b shows.
    state.updateEditParams([](EditParams& edit) { edit.hsl.points.emplace_back(120, 0.5, 0.5); });
    state.setSelectedPointColor(state.editParams().hsl.points[0].id);
    AppStateTesting::sessionState(state, b).params = state.editParams();
    // The tab of the colour mixer, and the field typed into.
    const std::pair<const char*, const char*> fields[] = {
        {"Mixer", "Sharpening value"}, {"Mixer", "Red Hue"}, {"Point Color", "Hue Shift"}};
    enum class End { returnKey, focusLost, returnAtOnce };
    QApplication::setActiveWindow(&inspector);
    for (auto [tab, name] : fields) {
        for (const End end : {End::returnKey, End::focusLost, End::returnAtOnce}) {
            const std::string how =
                std::string(name) + (end == End::returnKey   ? ", Return"
                                     : end == End::focusLost ? ", focus lost"
                                                             : ", Return at once");
            harness.open(a);
            static_cast<HSLSection*>(inspector.group("colorMixer"))->setTab(tab);
            settle();
            auto* field = testing::childWith<NumberField>(inspector, name);
            ASSERT_NE(field, nullptr) << name;
            const EditParams onA = state.editParams();
            // a's value, which b shares.
            const std::string shared = field->text().toStdString();
            field->setFocus(Qt::MouseFocusReason);
            field->selectAll();
            QTest::keyClicks(field, "12");
            harness.open(b);
            const EditParams opened = state.editParams();
            if (end != End::returnAtOnce) {
                settle();
                EXPECT_EQ(field->text().toStdString(), shared) << how << ": b's value, uncommitted";
            }
            if (end == End::focusLost) {
                field->clearFocus();
            } else {
                QTest::keyClick(field, Qt::Key_Return);
            }
            settle();
            EXPECT_EQ(state.editParams(), opened) << how << ": b is not written";
            EXPECT_EQ(AppStateTesting::sessionState(state, a).params, onA) << how;
            EXPECT_EQ(field->text().toStdString(), shared) << how;
        }
    }
}

// One slider of the inspector: where it sits, the size of its step, and its value as the panel
// reads and writes it (a stepped row stores only the values of its own grid).
struct SliderCase {
    std::string name;
    QWidget* slider;
    double lowerBound;
    double upperBound;
    double step;
    std::function<double()> read;
    std::function<void(double)> write;
};

// Right then Left gives back the value exactly, on every slider of the inspector: a key adds its
// step to the value itself, not to the handle's place on the track (Temp at 5301 K came back as
// 5302 K, and the Temperature layer turned active).
TEST_F(SliderPanelTest, ArrowKeysStepTheValueItselfAndComeBackExactly) {
    harness.open(harness.file("a.dng"));
    state.updateEditParams([](EditParams& edit) { edit.hsl.points.emplace_back(120, 0.5, 0.5); });
    state.setSelectedPointColor(state.editParams().hsl.points[0].id);
    settle();
    std::vector<SliderCase> cases;
    for (SliderRow* row : inspector.findChildren<SliderRow*>()) {
        const SliderField& line = sliderField(row->editLayer());
        const EditLayer layer = line.editLayer;
        cases.push_back({std::string(line.title), row->slider(), line.lowerBound, line.upperBound,
                         (line.upperBound - line.lowerBound) / 100,
                         [this, layer] { return sliderValue(state.editParams(), layer); },
                         [this, layer](double value) {
                             state.updateEditParams(
                                 [&](EditParams& edit) { sliderValue(edit, layer) = value; });
                         }});
    }
    auto* sharpening = inspector.findChild<SharpeningSection*>();
    for (const SharpeningSection::Row& row : SharpeningSection::rows) {
        cases.push_back({row.title,
                         inspector.findChild<QSlider*>(QString("sharpening") + row.title),
                         row.lowerBound, row.upperBound, row.step,
                         [this, &row] { return state.editParams().sharpening.*row.field; },
                         [sharpening, &row](double value) { sharpening->write(row, value); }});
    }
    for (MixerRow* row : inspector.findChildren<MixerRow*>()) {
        cases.push_back({row->slider()->accessibleName().toStdString(), row->slider(), -100, 100, 1,
                         [this, row] {
                             HSLAdjustments hsl = state.editParams().hsl;
                             return ColorSampling::channelValue(hsl, row->channel(), row->band());
                         },
                         [row](double value) { row->write(value); }});
    }
    PointColorEditor* points = inspector.findChild<PointColorEditor*>();
    std::vector<const PointColorEditor::Row*> pointRows = {&PointColorEditor::rangeRow};
    for (const auto* list : {&PointColorEditor::shiftRows, &PointColorEditor::refinementRows}) {
        for (const PointColorEditor::Row& row : *list) pointRows.push_back(&row);
    }
    const UUID point = state.editParams().hsl.points[0].id;
    for (const PointColorEditor::Row* row : pointRows) {
        cases.push_back(
            {row->title, testing::childWith<QSlider>(*points, row->title), row->lowerBound,
             row->upperBound, (row->upperBound - row->lowerBound) / 100,
             [this, row] { return state.editParams().hsl.points[0].*row->field; },
             [points, point, row](double value) { points->write(point, *row, value); }});
    }
    const AppState::DiameterRange diameters = state.spotRepairDiameterRange();
    cases.push_back({"Spot repair diameter", inspector.findChild<QSlider*>("spotRepairSize"),
                     diameters.lowerBound, diameters.upperBound,
                     (diameters.upperBound - diameters.lowerBound) / 100,
                     [this] { return state.spotRepairDiameter(); },
                     [this](double value) { state.setSpotRepairDiameter(value); }});
    EXPECT_EQ(cases.size(), static_cast<std::size_t>(inspector.findChildren<QSlider*>().size()))
        << "every slider";

    // A value that adding the step and taking it away again would not give back (0.1 + 2 - 2 is
    // not 0.1), from tenths and from places spread over the range by the golden ratio.
    const auto awkwardValue = [](const SliderCase& slider) {
        for (int k = 1; k < 1000; ++k) {
            const double spread = std::fmod(k * 0.6180339887, 1.0);
            for (double value :
                 {0.1 * k, slider.lowerBound + (slider.upperBound - slider.lowerBound) * spread}) {
                const bool inside = value > slider.lowerBound && value < slider.upperBound;
                if (inside && value + slider.step - slider.step != value) return value;
            }
        }
        ADD_FAILURE() << slider.name << ": no such value";
        return slider.lowerBound;
    };
    for (const SliderCase& slider : cases) {
        ASSERT_NE(slider.slider, nullptr) << slider.name;
        // A stepped row stores the nearest value of its grid.
        slider.write(awkwardValue(slider));
        settle();
        const double start = slider.read();
        QTest::keyClick(slider.slider, Qt::Key_Right);
        settle();
        EXPECT_DOUBLE_EQ(slider.read(), start + slider.step) << slider.name;
        QTest::keyClick(slider.slider, Qt::Key_Left);
        settle();
        EXPECT_EQ(slider.read(), start) << slider.name << ", off by " << slider.read() - start;
    }
}

// Page Up and Down are ten steps and come back as exactly; Home and End reach the ends; a step
// beyond an end changes nothing, and the step back returns the value the keys began on. A value
// changed between two keys by other means (a preset, a paste, a reset) is where the next key steps
// from.
TEST_F(SliderPanelTest, PageHomeAndEndKeysAndTheEndsOfTheRange) {
    harness.open(harness.file("a.dng"));
    settle();
    SliderRow* temperature = nullptr;
    for (SliderRow* row : inspector.findChildren<SliderRow*>()) {
        if (row->editLayer() == EditLayer::temperature) temperature = row;
    }
    ASSERT_NE(temperature, nullptr);
    const auto preset = [this] {
        state.applyPreset(Preset{.name = "Warm", .folder = "", .values = {.temperature = 6000}});
    };
    const auto paste = [this] {
        EditParams copied = state.editParams();
        copied.temperature = 7000;
        harness.clipboard->params = copied;
        state.pasteEditFromClipboard();
    };
    const auto reset = [temperature] { testing::doubleClick(temperature->titleLabel()); };
    // A step is a hundredth of 2000...50000 K: 480 K. The scripted photo was shot at 4300 K.
    const struct {
        double start;
        std::vector<Qt::Key> keys;
        double end;
        // Between the first key and the next.
        std::function<void()> meanwhile = {};
    } cases[] = {{5301, {Qt::Key_PageUp, Qt::Key_PageDown}, 5301},
                 {5301, {Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageUp}, 5301},
                 {5301, {Qt::Key_End, Qt::Key_Left}, 50000 - 480},
                 {5301, {Qt::Key_Home}, 2000},
                 {49900, {Qt::Key_Right}, 50000},
                 {49900, {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left}, 49900},
                 {5301, {Qt::Key_Right, Qt::Key_Right}, 6000 + 480, preset},
                 {5301, {Qt::Key_Right, Qt::Key_Right}, 7000 + 480, paste},
                 {5301, {Qt::Key_Right, Qt::Key_Left}, 4300 - 480, reset}};
    for (const auto& c : cases) {
        state.updateEditParams([&](EditParams& edit) { edit.temperature = c.start; });
        settle();
        for (std::size_t key = 0; key < c.keys.size(); ++key) {
            QTest::keyClick(temperature->slider(), c.keys[key]);
            settle();
            if (key == 0 && c.meanwhile) {
                c.meanwhile();
                settle();
            }
        }
        EXPECT_EQ(state.editParams().temperature, c.end) << c.start << " after " << c.keys.size();
    }
}

TEST_F(SliderPanelTest, FoldingIsKeptPerTitleAndByTheMenu) {
    harness.open(harness.file("a.dng"));
    settle();
    CollapsibleGroup* recovery = inspector.group("recovery");
    QTest::mouseClick(recovery->header(), Qt::LeftButton);
    EXPECT_EQ(settings.collapsedPanels(), "RAW Recovery");
    openJPEG();
    EXPECT_EQ(recovery->title(), "Highlights & Shadows");
    EXPECT_TRUE(recovery->isExpanded());

    inspector.movePanel("denoise", "whiteBalance");
    const QStringList moved = inspector.panelOrder();
    menuItem("Collapse All")->trigger();
    EXPECT_EQ(settings.collapsedPanels(),
              "White Balance|Tone|RAW Recovery|Highlights & Shadows|Presence|Spot Repair|Detail|"
              "Denoise");
    EXPECT_FALSE(settings.toneCurveExpanded() || settings.colorMixerExpanded());
    menuItem("Restore Default Order")->trigger();
    EXPECT_EQ(inspector.panelOrder(), PanelArrangement::defaultOrder);
    EXPECT_FALSE(inspector.group("tone")->isExpanded());
    inspector.movePanel("denoise", "whiteBalance");
    menuItem("Expand All")->trigger();
    EXPECT_EQ(inspector.panelOrder(), moved);
    EXPECT_TRUE(inspector.group("toneCurve")->isExpanded() &&
                inspector.group("tone")->isExpanded());
}

TEST_F(SliderPanelTest, WithoutAPhotoTheColumnIsInertAndOnlyResetIsDisabled) {
    EXPECT_FALSE(inspector.column()->isEnabled());
    EXPECT_TRUE(inspector.column()->graphicsEffect()->isEnabled());
    EXPECT_FALSE(menuItem("Reset Adjustments")->isEnabled());
    menuItem("Collapse All")->trigger();
    EXPECT_FALSE(inspector.group("tone")->isExpanded());
    harness.open(harness.file("a.dng"));
    settle();
    EXPECT_TRUE(inspector.column()->isEnabled());
    EXPECT_FALSE(inspector.column()->graphicsEffect()->isEnabled());
    EXPECT_TRUE(menuItem("Reset Adjustments")->isEnabled());
    state.updateEditParams([](EditParams& params) { params.exposure = 2; });
    menuItem("Reset Adjustments")->trigger();
    EXPECT_EQ(state.editParams().exposure, 0);
}

TEST_F(SliderPanelTest, RequestsUnfoldScrollAndFrameTheControlUntilTheLastLocateExpires) {
    // At the tests' usual speed the frame lasts 18 ms, less than a loaded machine may take
    // between the request and the check.
    const double scale = UiTiming::scale();
    UiTiming::setScale(0.25);  // 1.8 s → 450 ms
    openJPEG();
    menuItem("Collapse All")->trigger();
    state.setRequestedEditLayer(EditLayer::shadows);
    settle();
    EXPECT_FALSE(settings.collapsedPanels().split('|').contains("Highlights & Shadows"));
    EXPECT_TRUE(settings.collapsedPanels().split('|').contains("RAW Recovery"));

    // The tone curve sits far enough down that its top cannot reach the top of the view.
    menuItem("Expand All")->trigger();
    settings.setToneCurveExpanded(false);
    inspector.movePanel("toneCurve", "nowhere");
    settle();
    state.setRequestedEditLayer(EditLayer::toneCurve);
    settle();
    EXPECT_EQ(inspector.locatedLayer(), EditLayer::toneCurve);
    EXPECT_TRUE(settings.toneCurveExpanded());
    EXPECT_EQ(state.requestedEditLayer(), std::nullopt);
    QScrollBar* bar = inspector.scrollArea()->verticalScrollBar();
    EXPECT_TRUE(
        eventually([&] { return bar->value() == std::min(top("toneCurve"), bar->maximum()); }));

    // Turning the brush on unfolds and scrolls to Spot Repair, moved to the end, without a frame.
    inspector.movePanel("spotRepair", "nowhere");
    EXPECT_TRUE(eventually([&] { return !inspector.locatedLayer(); }));
    settings.setCollapsedPanels("Spot Repair");
    bar->setValue(0);
    state.toggleSpotRepair();
    EXPECT_TRUE(
        eventually([&] { return bar->value() == std::min(top("spotRepair"), bar->maximum()); }));
    EXPECT_GT(bar->value(), 0);
    EXPECT_TRUE(inspector.group("spotRepair")->isExpanded());
    EXPECT_FALSE(inspector.locatedLayer());
    UiTiming::setScale(scale);
}

// The wheel over the mixer's layout box, a band slider or its number field scrolls the column
// and changes nothing, unless the control has keyboard focus.
TEST_F(SliderPanelTest, TheWheelScrollsTheColumnUnlessTheControlUnderItHasFocus) {
    harness.open(harness.file("a.dng"));
    settle();
    ColorMixerView* mixer = inspector.findChild<ColorMixerView*>();
    MixerRow* red = mixer->row(HSLAdjustments::Band::red, "Hue");
    QScrollBar* bar = inspector.scrollArea()->verticalScrollBar();
    const auto wheelDown = [&](QWidget* control) {
        bar->setValue(0);
        const QPoint at = control->rect().center();
        QWheelEvent event(at, control->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(control, &event);
        return bar->value();
    };
    const EditParams before = state.editParams();
    for (QWidget* control :
         std::initializer_list<QWidget*>{mixer->layoutPicker(), red->slider(), red->field()}) {
        EXPECT_GT(wheelDown(control), 0) << control->metaObject()->className();
    }
    settle();
    EXPECT_EQ(state.editParams(), before);

    EXPECT_EQ(mixer->layoutPicker()->focusPolicy(), Qt::StrongFocus) << "the wheel gives no focus";
    QApplication::setActiveWindow(&inspector);
    for (QWidget* control : std::initializer_list<QWidget*>{mixer->layoutPicker(), red->slider()}) {
        control->setFocus(Qt::MouseFocusReason);
        wheelDown(control);
    }
    settle();
    EXPECT_EQ(mixer->layoutName(), "Color");
    EXPECT_NE(state.editParams().hsl.hue[0], 0);
}

TEST_F(SliderPanelTest, ASecondLocateOutlivesTheFirstClearing) {
    const double scale = UiTiming::scale();
    UiTiming::setScale(0.25);  // 1.8 s → 450 ms, 1 s → 250 ms
    harness.open(harness.file("a.dng"));
    inspector.locate(EditLayer::exposure);
    QTest::qWait(250);
    inspector.locate(EditLayer::contrast);
    QTest::qWait(250);  // the first clearing has come and gone
    EXPECT_EQ(inspector.locatedLayer(), EditLayer::contrast);
    // The frame: accent-tinted 4 points left of the row, nothing 12 points left of it.
    const QRect frame = inspector.highlight()->frameRect();
    const QImage column = inspector.column()->grab().toImage();
    const QColor base = column.pixelColor(frame.left() - 4, frame.center().y());
    const QColor inside = column.pixelColor(frame.left() + 4, frame.center().y());
    EXPECT_GT(inside.blue() - inside.red(), base.blue() - base.red()) << "tinted by the accent";
    EXPECT_TRUE(eventually([&] { return !inspector.locatedLayer(); }));
    UiTiming::setScale(scale);
}

// A go-to unfolds the one panel that holds the layer's control, for a RAW photo.
TEST_F(SliderPanelTest, AGoToUnfoldsThePanelOfItsLayer) {
    harness.open(harness.file("a.dng"));
    settle();
    const QStringList titles = {
        "White Balance", "Tone",        "RAW Recovery", "Highlights & Shadows",
        "Presence",      "Spot Repair", "Detail",       "Denoise"};
    // clang-format off
    const std::pair<EditLayer, const char*> layers[] = {
        {EditLayer::temperature, "White Balance"}, {EditLayer::tint, "White Balance"},
        {EditLayer::exposure, "Tone"},             {EditLayer::contrast, "Tone"},
        {EditLayer::highlights, "RAW Recovery"},   {EditLayer::blacks, "RAW Recovery"},
        {EditLayer::vibrance, "Presence"},         {EditLayer::saturation, "Presence"},
        {EditLayer::spotRepair, "Spot Repair"},    {EditLayer::sharpening, "Detail"},
        {EditLayer::denoise, "Denoise"}};
    // clang-format on
    for (const auto& [layer, title] : layers) {
        menuItem("Collapse All")->trigger();
        state.setRequestedEditLayer(layer);
        settle();
        QStringList folded = titles;
        folded.removeAll(title);
        EXPECT_EQ(settings.collapsedPanels().split('|'), folded) << title;
    }
}

}  // namespace
}  // namespace quillmere
