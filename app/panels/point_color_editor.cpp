#include "app/panels/point_color_editor.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/kit/collapsible_group.h"
#include "app/kit/double_slider.h"
#include "app/kit/number_field.h"
#include "app/kit/photo_gesture.h"
#include "app/panels/mixer_colors.h"
#include "app/panels/swatch_button.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

QLabel* caption(const QString& text, QWidget* parent, bool secondary = true) {
    auto* label = new QLabel(text, parent);
    label->setFont(textFont(TextStyle::caption));
    label->setWordWrap(true);
    if (secondary) setTextTone(*label, TextTone::secondary);
    return label;
}

QVBoxLayout* stack(QWidget* widget, int spacing) {
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

}  // namespace

const std::vector<PointColorEditor::Row> PointColorEditor::shiftRows = {
    {"Hue Shift", &PointColor::hueShift, -100, 100},
    {"Saturation Shift", &PointColor::saturationShift, -100, 100},
    {"Luminance Shift", &PointColor::luminanceShift, -100, 100},
    {"Variance", &PointColor::variance, -100, 100},
};

const PointColorEditor::Row PointColorEditor::rangeRow = {"Range", &PointColor::range, 1, 100};

const std::vector<PointColorEditor::Row> PointColorEditor::refinementRows = {
    {"Hue range (\u00b0)", &PointColor::hueRange, 1, 180},
    {"Saturation range", &PointColor::saturationRange, 0.01, 1},
    {"Luminance range", &PointColor::luminanceRange, 0.01, 1},
};

PointColorEditor::PointColorEditor(AppState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      sample_(new QPushButton(symbolIcon("eyedropper"), "Sample photo", this)),
      count_(caption("", this)),
      samplingHint_(caption("Click a color in the photo. Esc cancels.", this, false)),
      swatchRow_(new QWidget(this)),
      controls_(new QWidget(this)),
      refine_(new CollapsibleGroup("Refine range", controls_)),
      visualize_(new QCheckBox("Visualize range", controls_)),
      emptyHint_(
          caption("Sample a color to adjust it independently of the eight mixer bands.", this)) {
    QVBoxLayout* column = stack(this, 12);
    auto* header = new QHBoxLayout;
    header->addWidget(sample_);
    header->addStretch(1);
    header->addWidget(count_);
    column->addLayout(header);
    column->addWidget(samplingHint_);
    auto* swatchLine = new QHBoxLayout(swatchRow_);
    swatchLine->setContentsMargins(0, 0, 0, 0);
    swatchLine->addStretch(1);
    column->addWidget(swatchRow_);
    connect(sample_, &QPushButton::clicked, this, &PointColorEditor::toggleSampling);

    // The selected point's controls: shifts, a divider, the range, then its refinements.
    QVBoxLayout* controls = stack(controls_, 12);
    for (const Row& row : shiftRows) controls->addWidget(makeRow(row, controls_));
    controls->addWidget(makeDivider(controls_));
    controls->addWidget(makeRow(rangeRow, controls_));
    auto* refinements = new QWidget;
    QVBoxLayout* refinementColumn = stack(refinements, 12);
    for (const Row& row : refinementRows) refinementColumn->addWidget(makeRow(row, refinements));
    refine_->setContent(refinements);
    connect(refine_, &CollapsibleGroup::toggled, refine_, &CollapsibleGroup::setExpanded);
    controls->addWidget(refine_);
    controls->addWidget(visualize_);
    connect(visualize_, &QCheckBox::toggled, this,
            [this](bool on) { state_.setVisualizePointColor(on); });
    auto* resetShifts = new QPushButton("Reset shifts", controls_);
    auto* remove = new QPushButton("Delete", controls_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(resetShifts);
    buttons->addStretch(1);
    buttons->addWidget(remove);
    controls->addLayout(buttons);
    connect(resetShifts, &QPushButton::clicked, this, &PointColorEditor::resetShifts);
    connect(remove, &QPushButton::clicked, this, &PointColorEditor::deleteSelected);
    column->addWidget(controls_);
    column->addWidget(emptyHint_);

    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced(
        {AppState::Field::editParams, AppState::Field::selectedPointColor,
         AppState::Field::colorSamplerActive, AppState::Field::visualizePointColor},
        [this] { sync(); });
    sync();
}

QWidget* PointColorEditor::makeRow(const Row& row, QWidget* parent) {
    auto* widget = new QWidget(parent);
    auto* title = caption(row.title, widget, false);
    title->setWordWrap(false);
    auto* field = new NumberField(state_, row.upperBound <= 1 ? 2 : 0, 52, widget);
    field->setAccessibleName(row.title);
    auto* slider = new DoubleSlider(widget);
    slider->setDoubleRange(row.lowerBound, row.upperBound);
    slider->setAccessibleName(row.title);
    auto* line = new QHBoxLayout;
    line->addWidget(title);
    line->addStretch(1);
    line->addWidget(field);
    QVBoxLayout* rowStack = stack(widget, 2);
    rowStack->addLayout(line);
    rowStack->addWidget(slider);
    // Bound to the point shown when the value arrives.
    const auto writeShown = [this, &row](double value) {
        if (shownID_) write(*shownID_, row, value);
    };
    connect(field, &NumberField::committed, this, writeShown);
    auto* drag = new SliderGesture(state_, *slider, [this] { sync(); });
    connect(slider, &DoubleSlider::valueEdited, this, [drag, writeShown](double value) {
        if (drag->mayWrite()) writeShown(value);
    });
    rows_.push_back({&row, field, slider});
    return widget;
}

void PointColorEditor::write(const UUID& id, const Row& row, double value) {
    const auto& points = state_.editParams().hsl.points;
    const auto found = std::find_if(points.begin(), points.end(),
                                    [&](const PointColor& point) { return point.id == id; });
    if (found == points.end()) return;
    const std::size_t index = static_cast<std::size_t>(found - points.begin());
    const double valid =
        std::isfinite(value) ? std::clamp(value, row.lowerBound, row.upperBound) : row.lowerBound;
    state_.updateEditParams(
        [&](EditParams& params) { params.hsl.points[index].*row.field = valid; });
}

std::optional<PointColor> PointColorEditor::selectedPoint() const {
    const std::optional<UUID>& selected = state_.selectedPointColor();
    if (!selected) return std::nullopt;
    for (const PointColor& point : state_.editParams().hsl.points) {
        if (point.id == *selected) return point;
    }
    return std::nullopt;
}

void PointColorEditor::toggleSampling() {
    state_.setColorTargetChannel(std::nullopt);
    state_.setVisualizePointColor(false);
    state_.setIsSpotRepairActive(false);
    state_.setColorSamplerActive(!state_.colorSamplerActive());
}

void PointColorEditor::resetShifts() {
    const std::optional<PointColor> point = selectedPoint();
    if (!point) return;
    // Four writes, one field each; the ranges and the picked colour stay.
    for (const Row& row : shiftRows) write(point->id, row, 0);
}

void PointColorEditor::deleteSelected() {
    const std::optional<PointColor> point = selectedPoint();
    if (!point) return;
    state_.updateEditParams([&](EditParams& params) {
        std::erase_if(params.hsl.points,
                      [&](const PointColor& entry) { return entry.id == point->id; });
    });
    const auto& remaining = state_.editParams().hsl.points;
    state_.setSelectedPointColor(remaining.empty() ? std::nullopt
                                                   : std::optional(remaining.front().id));
}

void PointColorEditor::syncSwatches() {
    const auto& points = state_.editParams().hsl.points;
    auto* line = static_cast<QHBoxLayout*>(swatchRow_->layout());
    while (swatches_.size() > points.size()) {
        delete swatches_.back();
        swatches_.pop_back();
    }
    while (swatches_.size() < points.size()) {
        auto* swatch = new SwatchButton(23, swatchRow_);
        swatch->setAccessibleName("Select sampled color");
        line->insertWidget(static_cast<int>(swatches_.size()), swatch);
        const std::size_t index = swatches_.size();
        connect(swatch, &SwatchButton::clicked, this, [this, index] {
            const auto& current = state_.editParams().hsl.points;
            if (index < current.size()) state_.setSelectedPointColor(current[index].id);
        });
        swatches_.push_back(swatch);
    }
    for (std::size_t index = 0; index < points.size(); ++index) {
        swatches_[index]->setColor(swatchColor(points[index]));
        swatches_[index]->setSelected(points[index].id == state_.selectedPointColor());
    }
}

void PointColorEditor::sync() {
    const std::size_t count = state_.editParams().hsl.points.size();
    const bool sampling = state_.colorSamplerActive();
    sample_->setText(sampling ? "Cancel sampling" : "Sample photo");
    sample_->setEnabled(sampling || count < HSLAdjustments::maximumPointCount);
    count_->setText(QString::number(count) + "/8");
    samplingHint_->setVisible(sampling);
    syncSwatches();

    const std::optional<PointColor> point = selectedPoint();
    // The refinements start folded each time the controls appear, and stay as the user leaves
    // them while the selection moves between points.
    if (point && !shownID_) refine_->setExpanded(false);
    shownID_ = point ? std::optional(point->id) : std::nullopt;
    controls_->setVisible(point.has_value());
    emptyHint_->setVisible(!point);
    if (point) {
        for (const RowWidgets& widgets : rows_) {
            widgets.field->setValue((*point).*widgets.row->field);
            widgets.slider->setDoubleValue((*point).*widgets.row->field);
        }
    }
    const QSignalBlocker blocker(visualize_);
    visualize_->setChecked(state_.visualizePointColor());
}

}  // namespace quillmere
