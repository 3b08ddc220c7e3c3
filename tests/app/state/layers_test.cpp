#include <gtest/gtest.h>

#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

// The scripted photo was shot at 4300 K and tint +7.
using Layers = testing::StateTest;

TEST_F(Layers, WhiteBalanceIsJudgedBypassedAndResetAgainstTheOpenPhoto) {
    state.resetSlider(EditLayer::temperature);
    EXPECT_EQ(state.editParams().temperature, 5500);

    harness.showPhoto("/photos/a.dng", true, EditParams::neutral(4300.4, 7.001));
    EXPECT_TRUE(state.activeEditLayers().empty());
    state.updateEditParams([](EditParams& edit) { edit = EditParams::neutral(4300.5, 7.01); });
    EXPECT_EQ(state.activeEditLayers(), (std::vector{EditLayer::temperature, EditLayer::tint}));
    state.toggleEditLayer(EditLayer::temperature);
    EXPECT_EQ(state.effectiveParams().temperature, 4300);
    state.resetSlider(EditLayer::temperature);
    EXPECT_EQ(state.editParams().temperature, 4300);
    EXPECT_TRUE(state.disabledEditLayers().empty());
}

TEST_F(Layers, ComparisonsBypassesAndResets) {
    const EditParams edit{.exposure = 0.3,
                          .denoise = 40,
                          .denoiseMethod = DenoiseMethod::matchFilter,
                          .sharpening = {80, 2, 60, 0, true},
                          .spotRepairs = {}};
    harness.showPhoto("/photos/a.dng", true, edit, edit);
    state.setShowDenoiseOriginal(true);
    EXPECT_EQ(state.effectiveParams().denoise, 0);
    state.setShowOriginal(true);
    EditParams original = EditParams::neutral(4300, 7);
    original.denoiseMethod = DenoiseMethod::matchFilter;
    EXPECT_EQ(state.effectiveParams(), original);
    // Bypassing ends every comparison; resetting the bypassed layer keeps what bypass kept.
    state.toggleEditLayer(EditLayer::sharpening);
    EXPECT_FALSE(state.showOriginal() || state.showDenoiseOriginal());
    state.resetEditLayer(EditLayer::sharpening);
    EXPECT_EQ(state.editParams().sharpening, (SharpeningSettings{.radius = 2, .detail = 60}));
    EXPECT_TRUE(state.disabledEditLayers().empty());
    // Classic sharpening is two writes of the edit and keeps the RAW-texture switch.
    state.updateEditParams([](EditParams& e) { e.sharpening.preserveRAWTexture = true; });
    harness.log->clear();
    state.applyClassicSharpening();
    EXPECT_EQ(harness.log->count(AppState::Field::editParams), 2);
    EXPECT_TRUE(state.editParams().sharpening.preserveRAWTexture);

    state.setIsSpotRepairActive(true);
    state.toggleEditLayer(EditLayer::spotRepair);
    state.toggleEditLayer(EditLayer::spotRepair);
    EXPECT_FALSE(state.isSpotRepairActive());
    state.toggleEditLayer(EditLayer::exposure);
    state.resetAll();
    EXPECT_EQ(state.editParams(), edit);
    EXPECT_TRUE(state.disabledEditLayers().empty());
}

}  // namespace
}  // namespace quillmere
