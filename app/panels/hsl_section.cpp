#include "app/panels/hsl_section.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/kit/panel_drag.h"
#include "app/panels/color_mixer_view.h"
#include "app/panels/point_color_editor.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

QToolButton* withHelp(QToolButton* button, const QString& help) {
    button->setToolTip(help);
    button->setAccessibleName(help);
    return button;
}

}  // namespace

HSLSection::HSLSection(AppState& state, QWidget* parent)
    : CollapsibleGroup("Color Mixer", parent),
      state_(state),
      bypass_(withHelp(addHeaderButton("eye", SymbolTint::text), "Bypass Color Mixer")),
      reset_(withHelp(addHeaderButton("arrow.counterclockwise", SymbolTint::text),
                      "Reset Color Mixer")),
      tabs_(new QButtonGroup(this)),
      mixer_(new ColorMixerView(state)),
      pointEditor_(new PointColorEditor(state)) {
    setDragText(panelDragText("colorMixer"));
    connect(bypass_, &QToolButton::clicked, this,
            [this] { state_.toggleEditLayer(EditLayer::colorMixer); });
    connect(reset_, &QToolButton::clicked, this, &HSLSection::reset);

    auto* content = new QWidget;
    auto* tabPicker = new QWidget(content);
    tabPicker->setAccessibleName("Color Mixer");
    auto* tabRow = new QHBoxLayout(tabPicker);
    tabRow->setContentsMargins(0, 0, 0, 0);
    tabRow->setSpacing(0);
    for (const char* tab : {"Mixer", "Point Color"}) {
        auto* segment = new QToolButton(tabPicker);
        segment->setText(tab);
        segment->setCheckable(true);
        segment->setChecked(tab_ == tab);
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        tabs_->addButton(segment);
        tabRow->addWidget(segment);
    }
    connect(tabs_, &QButtonGroup::buttonClicked, this,
            [this](QAbstractButton* segment) { setTab(segment->text()); });
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(tabPicker);
    column->addWidget(mixer_);
    column->addWidget(pointEditor_);
    setContent(content);
    connect(this, &CollapsibleGroup::expandedChanged, this, [this](bool expanded) {
        if (!expanded) finishSampling();
        syncShown();
    });

    auto* watcher = new StateWatcher(state, this);
    // Whoever changed the mixer, the layer shows it and stale markers go.
    watcher->onChange(
        {AppState::Field::editParams}, [this] { return state_.editParams().hsl; },
        [this](const HSLAdjustments&, const HSLAdjustments&) {
            state_.enableEditLayer(EditLayer::colorMixer);
            state_.clearAppliedPreset();
            state_.clearAppliedCheckpoint();
        });
    watcher->onAnnounced({AppState::Field::disabledEditLayers}, [this] {
        const bool bypassed = state_.disabledEditLayers().contains(EditLayer::colorMixer);
        bypass_->setIcon(symbolIcon(bypassed ? "eye.slash" : "eye"));
    });
    syncShown();
}

void HSLSection::setTab(const QString& tab) {
    if (tab == tab_) return;
    tab_ = tab;
    for (QAbstractButton* segment : tabs_->buttons()) segment->setChecked(segment->text() == tab);
    finishSampling();
    syncShown();
}

void HSLSection::syncShown() {
    const bool mixerTab = tab_ == "Mixer";
    mixer_->setVisible(mixerTab);
    pointEditor_->setVisible(!mixerTab);
    mixer_->setShown(mixerTab && isExpanded());
}

void HSLSection::finishSampling() {
    if (state_.colorSamplerActive()) state_.setColorSamplerActive(false);
    if (state_.colorTargetChannel()) state_.setColorTargetChannel(std::nullopt);
    if (state_.visualizePointColor()) state_.setVisualizePointColor(false);
    if (state_.visualizeColorBand() != -1) state_.setVisualizeColorBand(-1);
}

void HSLSection::reset() {
    state_.updateEditParams([](EditParams& params) { params.hsl = HSLAdjustments::neutral(); });
    state_.setSelectedPointColor(std::nullopt);
}

}  // namespace quillmere
