#include "app/panels/spot_repair_section.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/kit/double_slider.h"
#include "app/kit/number_format.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

QToolButton* historyButton(const char* symbol, const char* name, const char* help,
                           QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(symbolIcon(symbol));
    button->setAutoRaise(true);
    button->setAccessibleName(name);
    button->setToolTip(help);
    return button;
}

QHBoxLayout* line(QWidget* parent = nullptr) {
    auto* row = new QHBoxLayout(parent);
    row->setContentsMargins(0, 0, 0, 0);
    return row;
}

}  // namespace

SpotRepairSection::SpotRepairSection(AppState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      toggle_(new QPushButton(this)),
      brush_(new QWidget(this)),
      size_(new QLabel(brush_)),
      slider_(new DoubleSlider(brush_)),
      history_(new QWidget(this)),
      status_(new QLabel(history_)),
      undo_(historyButton("arrow.uturn.backward", "Undo spot repair", "Undo spot repair (Ctrl+Z)",
                          history_)),
      redo_(historyButton("arrow.uturn.forward", "Redo spot repair",
                          "Redo spot repair (Ctrl+Shift+Z)", history_)),
      clear_(historyButton("trash", "Clear spot repairs", "Remove all spot repairs", history_)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);

    auto* intro = new QLabel("Remove small blemishes", this);
    intro->setFont(textFont(TextStyle::subheadline));
    setTextTone(*intro, TextTone::secondary);
    toggle_->setObjectName("spotRepairToggle");
    toggle_->setToolTip("Remove small sensor spots with a nearby patch (J)");
    QHBoxLayout* header = line();
    header->addWidget(intro);
    header->addStretch(1);
    header->addWidget(toggle_);
    column->addLayout(header);
    connect(toggle_, &QPushButton::clicked, this, [this] { state_.toggleSpotRepair(); });

    const QFont subheadline = textFont(TextStyle::subheadline);
    auto* sizeTitle = new QLabel("Size", brush_);
    sizeTitle->setFont(subheadline);
    size_->setFont(digitFont(subheadline));
    QHBoxLayout* sizeLine = line();
    sizeLine->addWidget(sizeTitle);
    sizeLine->addStretch(1);
    sizeLine->addWidget(size_);
    slider_->setObjectName("spotRepairSize");
    slider_->setAccessibleName("Spot repair diameter");
    auto* hint = new QLabel(
        "Drag to paint over a blemish, or click a small spot. Release to heal. Each stroke can be "
        "undone in one step.",
        brush_);
    hint->setWordWrap(true);
    hint->setFont(textFont(TextStyle::caption));
    setTextTone(*hint, TextTone::secondary);
    auto* brushColumn = new QVBoxLayout(brush_);
    brushColumn->setContentsMargins(0, 0, 0, 0);
    brushColumn->setSpacing(4);
    brushColumn->addLayout(sizeLine);
    brushColumn->addWidget(slider_);
    brushColumn->addWidget(hint);
    column->addWidget(brush_);
    connect(slider_, &DoubleSlider::valueEdited, this,
            [this](double diameter) { state_.setSpotRepairDiameter(diameter); });

    status_->setFont(digitFont(textFont(TextStyle::caption)));
    QHBoxLayout* historyLine = line(history_);
    historyLine->setSpacing(8);
    historyLine->addWidget(status_);
    historyLine->addStretch(1);
    historyLine->addWidget(undo_);
    historyLine->addWidget(redo_);
    historyLine->addWidget(clear_);
    column->addWidget(history_);
    connect(undo_, &QToolButton::clicked, this, [this] { state_.undoSpotRepair(); });
    connect(redo_, &QToolButton::clicked, this, [this] { state_.redoSpotRepair(); });
    connect(clear_, &QToolButton::clicked, this,
            [this] { state_.resetEditLayer(EditLayer::spotRepair); });

    using Field = AppState::Field;
    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced(
        {Field::isSpotRepairActive, Field::spotRepairDiameter, Field::photo, Field::spotRepairDraft,
         Field::editParams, Field::spotUndoStack, Field::spotRedoStack},
        [this] { sync(); });
    sync();
}

QString SpotRepairSection::status(const AppState& state) {
    if (state.spotRepairDraft()) return QString::fromUtf8("Painting\u2026");
    const std::size_t count = state.editParams().spotRepairs.size();
    return QString::number(count) + (count == 1 ? " stroke" : " strokes");
}

void SpotRepairSection::sync() {
    const bool active = state_.isSpotRepairActive();
    toggle_->setText(active ? "Done" : "Heal spots");
    brush_->setVisible(active);
    const AppState::DiameterRange range = state_.spotRepairDiameterRange();
    slider_->setDoubleRange(range.lowerBound, range.upperBound);
    slider_->setDoubleValue(state_.spotRepairDiameter());
    size_->setText(roundedInteger(state_.spotRepairDiameter()) + " px");
    const bool hasRepairs = !state_.editParams().spotRepairs.empty();
    history_->setVisible(active || hasRepairs || state_.canRedoSpotRepair());
    status_->setText(status(state_));
    undo_->setEnabled(state_.canUndoSpotRepair());
    redo_->setEnabled(state_.canRedoSpotRepair());
    clear_->setEnabled(hasRepairs);
}

}  // namespace quillmere
