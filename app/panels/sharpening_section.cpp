#include "app/panels/sharpening_section.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/kit/double_slider.h"
#include "app/kit/number_field.h"
#include "app/kit/photo_gesture.h"
#include "app/kit/title_line_layout.h"
#include "app/panels/slider_row.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

QPushButton* captionButton(const QString& text, const char* identifier, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(identifier);
    button->setFont(textFont(TextStyle::caption));
    return button;
}

}  // namespace

const std::vector<SharpeningSection::Row> SharpeningSection::rows = {
    {"Sharpening", &SharpeningSettings::amount, 0, 150, 1, 0,
     "Strength of the sharpening. Zero preserves the current rendering. Double-click the label "
     "to reset."},
    {"Radius", &SharpeningSettings::radius, 0.5, 3, 0.1, 1.0,
     "Width of the sharpening in original photo pixels. Use a small radius for fine hair and "
     "fabric. Double-click the label to reset."},
    {"Detail", &SharpeningSettings::detail, 0, 100, 1, 25,
     "Higher values emphasize fine texture and grain. Lower values favor contours. Double-click "
     "the label to reset."},
    {"Masking", &SharpeningSettings::masking, 0, 100, 1, 0,
     "Protect smooth skin and backgrounds. At 100 only the strongest edges receive sharpening. "
     "Double-click the label to reset."},
};

SharpeningSection::SharpeningSection(AppState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      texture_(new QCheckBox("Preserve fine RAW texture", this)),
      compare_(captionButton("Compare", "compareSharpening", this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    for (const Row& row : rows) column->addWidget(makeRow(row));

    texture_->setObjectName("preserveRAWTexture");
    texture_->setFont(textFont(TextStyle::caption));
    texture_->setToolTip(
        "Keep more hair, skin and fabric texture before sharpening. May reveal more grain; "
        "balance it with Denoise.");
    column->addWidget(texture_);
    connect(texture_, &QCheckBox::toggled, this, &SharpeningSection::setTexture);

    auto* classic = captionButton("Classic", "classicSharpening", this);
    classic->setToolTip("Start with Sharpening 40, Radius 1.0, Detail 25, Masking 0.");
    compare_->setToolTip("Compare sharpening with the same noise reduction, exposure and color.");
    auto* reset = new QToolButton(this);
    reset->setIcon(symbolIcon("arrow.counterclockwise", SymbolTint::secondary));
    reset->setAutoRaise(true);
    reset->setAccessibleName("Reset sharpening");
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(classic);
    buttons->addWidget(compare_);
    buttons->addStretch(1);
    buttons->addWidget(reset);
    column->addLayout(buttons);
    connect(classic, &QPushButton::clicked, this, [this] { state_.applyClassicSharpening(); });
    connect(compare_, &QPushButton::clicked, this,
            [this] { state_.toggleEditLayer(EditLayer::sharpening); });
    connect(reset, &QToolButton::clicked, this, [this] { state_.resetSharpening(); });

    auto* judge = new QLabel("Judge fine detail at 100%", this);
    judge->setFont(textFont(TextStyle::caption2));
    setTextTone(*judge, TextTone::secondary);
    // A tool button: in the Fusion style a push button with text is at least 80 pixels wide,
    // too wide for a link.
    auto* actualSize = new QToolButton(this);
    actualSize->setText("100%");
    actualSize->setObjectName("inspectSharpening");
    actualSize->setFont(textFont(TextStyle::caption));
    actualSize->setAutoRaise(true);
    actualSize->setCursor(Qt::PointingHandCursor);
    setTextTone(*actualSize, TextTone::link);
    actualSize->setAccessibleName("Inspect sharpening at 100 percent");
    auto* zoomLine = new QHBoxLayout;
    zoomLine->addWidget(judge);
    zoomLine->addStretch(1);
    zoomLine->addWidget(actualSize);
    column->addLayout(zoomLine);
    connect(actualSize, &QToolButton::clicked, this,
            [this] { state_.requestZoom(AppState::ZoomAction::actualSize); });

    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced(
        {AppState::Field::editParams, AppState::Field::photo, AppState::Field::disabledEditLayers},
        [this] { sync(); });
    sync();
}

QWidget* SharpeningSection::makeRow(const Row& row) {
    auto* widget = new QWidget(this);
    widget->setToolTip(row.help);
    const QString title = row.title;
    auto* label = new ResetLabel(title, widget);
    label->setFont(textFont(TextStyle::subheadline));
    setTextOpacity(*label, 0.75);
    auto* field = new NumberField(state_, row.step < 1 ? 1 : 0, 54, widget);
    field->setAccessibleName(title + " value");
    field->setObjectName("sharpening" + title + "Value");
    auto* slider = new DoubleSlider(widget);
    slider->setDoubleRange(row.lowerBound, row.upperBound);
    // A key moves one step of the row, which the write keeps; a smaller one would be rounded away.
    slider->setStep(row.step);
    slider->setAccessibleName(title == "Sharpening" ? QString("Sharpening amount")
                                                    : "Sharpening " + title.toLower());
    slider->setObjectName("sharpening" + title);

    layOutUnderTitleLine(*widget, label, field, slider, 4);

    // Every way of changing the row goes through one write.
    connect(label, &ResetLabel::doubleClicked, this, [this, &row] { write(row, row.resetValue); });
    connect(field, &NumberField::committed, this,
            [this, &row](double value) { write(row, value); });
    auto* drag = new SliderGesture(state_, *slider, [this] { sync(); });
    connect(slider, &DoubleSlider::valueEdited, this, [this, &row, drag](double value) {
        if (drag->mayWrite()) write(row, value);
    });
    rowWidgets_.push_back({&row, slider, field});
    return widget;
}

void SharpeningSection::write(const Row& row, double value) {
    if (!std::isfinite(value)) return;
    const double stepped =
        std::clamp(std::round(value / row.step) * row.step, row.lowerBound, row.upperBound);
    // One field alone: the others stay as stored, even out of range.
    state_.updateEditParams([&](EditParams& params) { params.sharpening.*row.field = stepped; });
    didWrite();
}

void SharpeningSection::setTexture(bool preserve) {
    state_.updateEditParams(
        [&](EditParams& params) { params.sharpening.preserveRAWTexture = preserve; });
    didWrite();
}

void SharpeningSection::didWrite() {
    state_.enableEditLayer(EditLayer::sharpening);
    state_.setShowOriginal(false);
    state_.clearAppliedPreset();
    state_.clearAppliedCheckpoint();
}

void SharpeningSection::sync() {
    const SharpeningSettings& stored = state_.editParams().sharpening;
    const SharpeningSettings shown = stored.sanitized();
    for (const RowWidgets& widgets : rowWidgets_) {
        widgets.slider->setDoubleValue(shown.*widgets.row->field);
        widgets.field->setValue(shown.*widgets.row->field);
    }
    {
        const QSignalBlocker blocker(texture_);
        texture_->setChecked(stored.preserveRAWTexture);
    }
    const std::optional<OpenedPhoto>& photo = state_.photo();
    texture_->setVisible(photo && photo->isRAW &&
                         state_.editParams().denoiseMethod == DenoiseMethod::natural);
    compare_->setEnabled(shown.amount != 0 || shown.preserveRAWTexture);
    compare_->setText(state_.disabledEditLayers().contains(EditLayer::sharpening) ? "Show sharpened"
                                                                                  : "Compare");
}

}  // namespace quillmere
