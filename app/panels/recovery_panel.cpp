#include "app/panels/recovery_panel.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/panels/panel_arrangement.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {

RecoveryPanel::RecoveryPanel(AppState& state, QWidget* parent)
    : SliderRowsPanel(
          state, {EditLayer::highlights, EditLayer::shadows, EditLayer::whites, EditLayer::blacks},
          parent),
      compare_(new QPushButton(this)),
      reset_(new QToolButton(this)) {
    const char* identifiers[] = {"recoveryHighlights", "recoveryShadows", "recoveryWhites",
                                 "recoveryBlacks"};
    for (std::size_t index = 0; index < rows().size(); ++index) {
        rows()[index]->setObjectName(identifiers[index]);
    }
    row(EditLayer::shadows)
        ->setToolTip(
            "Move right to open backlit subjects while retaining local contrast. Black stays "
            "anchored; denoise controls visible grain.");
    row(EditLayer::whites)
        ->setToolTip(
            "Control the brightest tones independently. Move left to soften near-white areas.");
    row(EditLayer::blacks)
        ->setToolTip(
            "Shape the deepest tones. Move left for depth or right to reveal dark detail.");

    const QFont caption = textFont(TextStyle::caption);
    compare_->setObjectName("compareRecovery");
    compare_->setFlat(true);
    compare_->setFont(caption);
    compare_->setToolTip(
        "Compare highlights, shadows, whites and blacks with exposure, color and denoise fixed "
        "(R)");
    setTextTone(*compare_, TextTone::secondary);
    reset_->setIcon(symbolIcon("arrow.counterclockwise", SymbolTint::secondary));
    reset_->setAutoRaise(true);
    reset_->setAccessibleName("Reset RAW recovery");
    reset_->setToolTip("Reset highlights, shadows, whites and blacks");

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(0, 0, 0, 0);
    footer->addWidget(compare_);
    footer->addStretch(1);
    footer->addWidget(reset_);
    column()->addLayout(footer);

    connect(compare_, &QPushButton::clicked, this,
            [this] { this->state().toggleRecoveryComparison(); });
    connect(reset_, &QToolButton::clicked, this, &RecoveryPanel::resetRecovery);
    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced({AppState::Field::photo, AppState::Field::showRecoveryOriginal},
                         [this] { sync(); });
    sync();
}

bool RecoveryPanel::showsRAWTexts(const AppState& state) {
    return !state.photo() || state.photo()->isRAW;
}

QString RecoveryPanel::title(const AppState& state) {
    return PanelArrangement::recoveryTitle(showsRAWTexts(state));
}

void RecoveryPanel::sync() {
    row(EditLayer::highlights)
        ->setToolTip(showsRAWTexts(state())
                         ? "Move left to recover bright detail and color from the RAW. "
                           "Double-click the label to reset."
                         : "Adjust existing highlight detail. Clipped detail cannot be restored. "
                           "Double-click the label to reset.");
    compare_->setText(state().showRecoveryOriginal() ? "Show recovered" : "Compare recovery");
}

void RecoveryPanel::resetRecovery() {
    for (const SliderRow* row : rows()) state().resetSlider(row->editLayer());
    state().setShowRecoveryOriginal(false);
}

}  // namespace quillmere
