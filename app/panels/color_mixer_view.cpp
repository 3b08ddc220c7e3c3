#include "app/panels/color_mixer_view.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/kit/wheel_guard.h"
#include "app/panels/mixer_colors.h"
#include "app/panels/mixer_row.h"
#include "app/panels/swatch_button.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

const std::vector<std::string> channels = {"Hue", "Saturation", "Luminance"};

QString bandName(HSLAdjustments::Band band) { return QString::fromUtf8(displayName(band)); }

QLabel* headline(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(textFont(TextStyle::headline));
    return label;
}

}  // namespace

ColorMixerView::ColorMixerView(AppState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      layoutPicker_(new QComboBox(this)),
      targeted_(new QToolButton(this)),
      modePicker_(new QWidget(this)),
      modes_(new QButtonGroup(this)),
      swatchRow_(new QWidget(this)),
      bandTitle_(headline(this)),
      targetHint_(new QLabel("Drag on a color in the photo \u00b7 Esc to finish", this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    layoutPicker_->addItems({"HSL", "Color", "B&W"});
    leaveWheelToColumn(*layoutPicker_);
    targeted_->setAutoRaise(true);
    targeted_->setToolTip("Drag up or down on the photo to adjust its color. Esc to finish.");
    targeted_->setAccessibleName("Targeted color adjustment");
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Adjust", this));
    top->addWidget(layoutPicker_, 1);
    top->addWidget(targeted_);
    column->addLayout(top);
    connect(layoutPicker_, &QComboBox::currentTextChanged, this, &ColorMixerView::setLayoutName);
    connect(targeted_, &QToolButton::clicked, this, &ColorMixerView::toggleTargetedAdjustment);

    modePicker_->setAccessibleName("Color Mixer channel");
    auto* modeRow = new QHBoxLayout(modePicker_);
    modeRow->setContentsMargins(0, 0, 0, 0);
    modeRow->setSpacing(0);
    int id = 0;
    for (const char* mode : {"Hue", "Saturation", "Luminance", "All"}) {
        auto* segment = new QToolButton(modePicker_);
        segment->setText(mode);
        segment->setCheckable(true);
        segment->setChecked(mode_ == mode);
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        modes_->addButton(segment, id++);
        modeRow->addWidget(segment);
    }
    column->addWidget(modePicker_);
    connect(modes_, &QButtonGroup::idClicked, this,
            [this](int id) { setMode(modes_->button(id)->text()); });

    auto* swatchLine = new QHBoxLayout(swatchRow_);
    swatchLine->setContentsMargins(0, 0, 0, 0);
    swatchLine->setSpacing(9);
    for (HSLAdjustments::Band band : allBands) {
        auto* swatch = new SwatchButton(22, swatchRow_);
        swatch->setColor(bandColor(band));
        swatch->setToolTip(bandName(band));
        swatch->setAccessibleName(bandName(band));
        swatchLine->addWidget(swatch);
        swatches_.push_back(swatch);
        connect(swatch, &SwatchButton::clicked, this, [this, band] { setBand(band); });
    }
    swatchLine->addStretch(1);
    column->addWidget(swatchRow_);
    column->addWidget(bandTitle_);

    // Every row exists once, channel by channel; a layout shows, hides and labels them.
    for (const std::string& channel : channels) {
        QLabel* title = headline(this);
        title->setText(QString::fromStdString(channel));
        channelTitles_.push_back(title);
        column->addWidget(title);
        for (HSLAdjustments::Band band : allBands) {
            auto* row = new MixerRow(state, band, channel, this);
            rows_.push_back(row);
            column->addWidget(row);
        }
    }

    targetHint_->setFont(textFont(TextStyle::caption));
    setTextTone(*targetHint_, TextTone::secondary);
    column->addWidget(targetHint_);

    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced({AppState::Field::editParams, AppState::Field::colorTargetChannel},
                         [this] { sync(); });
    watcher->onChange(
        {AppState::Field::editParams}, [this] { return state_.editParams().hsl.blackAndWhite; },
        [this](bool, bool blackAndWhite) { syncBlackAndWhite(blackAndWhite); });
    arrangeRows();
    sync();
}

MixerRow* ColorMixerView::row(HSLAdjustments::Band band, const std::string& channel) const {
    for (MixerRow* row : rows_) {
        if (row->band() == band && row->channel() == channel) return row;
    }
    return nullptr;
}

void ColorMixerView::setLayoutName(const QString& layout) {
    if (layout == layout_) return;
    layout_ = layout;
    {
        const QSignalBlocker blocker(layoutPicker_);
        layoutPicker_->setCurrentText(layout);
    }
    arrangeRows();
    if (!shown_) return;
    const bool blackAndWhite = layout == "B&W";
    if (state_.editParams().hsl.blackAndWhite == blackAndWhite) return;
    state_.updateEditParams([&](EditParams& params) { params.hsl.blackAndWhite = blackAndWhite; });
}

void ColorMixerView::setMode(const QString& mode) {
    mode_ = mode;
    for (QAbstractButton* segment : modes_->buttons()) {
        if (segment->text() == mode) segment->setChecked(true);
    }
    arrangeRows();
    // While the targeted adjustment is on it follows the channel.
    if (state_.colorTargetChannel()) state_.setColorTargetChannel(targetChannel());
}

void ColorMixerView::setBand(HSLAdjustments::Band band) {
    band_ = band;
    arrangeRows();
}

void ColorMixerView::setShown(bool shown) {
    const bool appears = shown && !shown_;
    shown_ = shown;
    // The switch may have changed either way while the mixer was hidden (a reset, a checkpoint).
    if (appears) syncBlackAndWhite(state_.editParams().hsl.blackAndWhite);
}

void ColorMixerView::syncBlackAndWhite(bool blackAndWhite) {
    if (!shown_) return;
    if (blackAndWhite) {
        setLayoutName("B&W");
    } else if (layout_ == "B&W") {
        setLayoutName("HSL");
    }
}

std::string ColorMixerView::targetChannel() const {
    return mode_ == "All" ? "Hue" : mode_.toStdString();
}

void ColorMixerView::toggleTargetedAdjustment() {
    if (state_.colorSamplerActive()) state_.setColorSamplerActive(false);
    if (state_.visualizePointColor()) state_.setVisualizePointColor(false);
    // Every time: turning the brush off also drops a stroke in progress.
    state_.setIsSpotRepairActive(false);
    state_.setColorTargetChannel(state_.colorTargetChannel() ? std::nullopt
                                                             : std::optional(targetChannel()));
}

void ColorMixerView::arrangeRows() {
    const bool hsl = layout_ == "HSL", color = layout_ == "Color";
    modePicker_->setVisible(hsl);
    swatchRow_->setVisible(color);
    bandTitle_->setVisible(color);
    bandTitle_->setText(bandName(band_));
    for (std::size_t index = 0; index < swatches_.size(); ++index) {
        swatches_[index]->setSelected(allBands[index] == band_);
    }
    for (std::size_t index = 0; index < channels.size(); ++index) {
        channelTitles_[index]->setVisible(hsl && mode_ == "All");
    }
    for (MixerRow* row : rows_) {
        const QString channel = QString::fromStdString(row->channel());
        bool visible = false;
        if (hsl) visible = mode_ == "All" || mode_ == channel;
        if (color) visible = row->band() == band_;
        if (layout_ == "B&W") visible = channel == "Luminance";
        row->setVisible(visible);
        row->setLabel(color ? channel : bandName(row->band()));
    }
}

void ColorMixerView::sync() {
    for (MixerRow* row : rows_) row->sync();
    const bool targeting = state_.colorTargetChannel().has_value();
    targeted_->setIcon(symbolIcon("scope", targeting ? SymbolTint::accent : SymbolTint::text));
    targetHint_->setVisible(targeting);
}

}  // namespace quillmere
