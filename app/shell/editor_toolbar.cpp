#include "app/shell/editor_toolbar.h"

#include <QToolButton>

#include "app/shell/shortcuts.h"
#include "app/shell/window_preferences.h"
#include "app/state/app_state.h"
#include "app/state/follow/state_follow.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

using Field = AppState::Field;

// The room between the toolbar's groups.
constexpr int kGroupSpacing = 16;

}  // namespace

EditorToolbar::EditorToolbar(AppState& state, Preferences& preferences,
                             std::function<void()> showExportSheet, QWidget* parent)
    : QToolBar(QStringLiteral("Toolbar"), parent),
      state_(state),
      watcher_(new StateWatcher(state, this)) {
    setObjectName(QStringLiteral("editorToolbar"));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    toggleViewAction()->setEnabled(false);

    // Navigation, at the leading end.
    QAction* library = addTool(
        "Library", "sidebar.left",
        Shortcuts::helpText("Show or hide presets, checkpoints and edits", Shortcuts::showLibrary));
    WindowPreferences::bindToggle(*library, preferences, WindowPreferences::kLibraryVisible);
    // The File menu's "Open Photos…" holds the shortcut: two actions of one window with the same
    // shortcut would each block the other.
    open_ = addTool("Open…", "folder", Shortcuts::helpText("Open photos", QKeySequence::Open));
    connect(open_, &QAction::triggered, this, [this] { state_.promptAndOpenPhoto(); });

    // Primary actions, at the trailing end.
    auto* spring = new QWidget;
    spring->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spring);

    const QKeySequence fitKey(Qt::CTRL | Qt::Key_0);
    QAction* fit = addTool("Fit", {}, Shortcuts::helpText("Fit photo to window", fitKey), fitKey);
    connect(fit, &QAction::triggered, this,
            [this] { state_.requestZoom(AppState::ZoomAction::fit); });
    const QKeySequence actualKey(Qt::CTRL | Qt::Key_1);
    QAction* actual = addTool(
        "100%", {}, Shortcuts::helpText("One original image pixel per screen pixel", actualKey),
        actualKey);
    connect(actual, &QAction::triggered, this,
            [this] { state_.requestZoom(AppState::ZoomAction::actualSize); });
    addFixedSpace();

    spotRepair_ =
        addTool("Spot repair", "bandage", "Heal small sensor spots (J)", QKeySequence(Qt::Key_J));
    spotRepair_->setCheckable(true);
    widgetForAction(spotRepair_)->setObjectName(QStringLiteral("spotRepairToolbar"));
    widgetForAction(spotRepair_)->setAccessibleName(QStringLiteral("Spot repair"));
    connect(spotRepair_, &QAction::triggered, this, [this] {
        state_.toggleSpotRepair();
        // The state may refuse: the button shows what it holds.
        spotRepair_->setChecked(state_.isSpotRepairActive());
    });
    const QKeySequence beforeAfterKey(Qt::Key_Backslash);
    showOriginal_ =
        addTool("Show original", "square.on.square",
                Shortcuts::helpText("Toggle before/after", beforeAfterKey), beforeAfterKey);
    showOriginal_->setCheckable(true);
    connect(showOriginal_, &QAction::triggered, this, [this](bool show) {
        // The whole edit's comparison replaces the other two.
        state_.setShowDenoiseOriginal(false);
        state_.setShowRecoveryOriginal(false);
        state_.setShowOriginal(show);
    });
    compareRecovery_ = addTool("Compare recovery", "square.split.2x1",
                               "Toggle before/after for highlights, shadows, whites and blacks (R)",
                               QKeySequence(Qt::Key_R));
    compareRecovery_->setCheckable(true);
    widgetForAction(compareRecovery_)->setObjectName(QStringLiteral("compareRecoveryToolbar"));
    connect(compareRecovery_, &QAction::triggered, this, [this] {
        state_.toggleRecoveryComparison();
        compareRecovery_->setChecked(state_.showRecoveryOriginal());
    });
    addFixedSpace();

    const QKeySequence exportKey(Qt::CTRL | Qt::Key_E);
    QAction* exportPhotos = addTool("Export…", "square.and.arrow.up",
                                    Shortcuts::helpText("Export photos", exportKey), exportKey);
    connect(exportPhotos, &QAction::triggered, this, std::move(showExportSheet));
    QAction* adjustments =
        addTool("Adjustments", "sidebar.right",
                Shortcuts::helpText("Show or hide adjustments", Shortcuts::showAdjustments));
    WindowPreferences::bindToggle(*adjustments, preferences, WindowPreferences::kInspectorVisible);

    photoTools_ = {fit, actual, spotRepair_, showOriginal_, compareRecovery_, exportPhotos};
    follow(*watcher_,
           withBusyFields({Field::photo, Field::isSpotRepairActive, Field::showOriginal,
                           Field::showRecoveryOriginal}),
           [this] { syncFromState(); });
}

QAction* EditorToolbar::addTool(const QString& label, const QString& symbol, const QString& help,
                                const QKeySequence& shortcut) {
    QAction* action = addAction(label);
    // A tool without a symbol shows its label.
    if (!symbol.isEmpty()) action->setIcon(symbolIcon(symbol));
    action->setToolTip(help);
    action->setShortcut(shortcut);
    return action;
}

void EditorToolbar::addFixedSpace() {
    auto* space = new QWidget;
    space->setFixedWidth(kGroupSpacing);
    addWidget(space);
}

void EditorToolbar::syncFromState() {
    const bool busy = state_.isBusy();
    open_->setEnabled(!busy);
    for (QAction* tool : photoTools_) tool->setEnabled(state_.photo() && !busy);
    spotRepair_->setChecked(state_.isSpotRepairActive());
    showOriginal_->setChecked(state_.showOriginal());
    compareRecovery_->setChecked(state_.showRecoveryOriginal());
    widgetForAction(compareRecovery_)
        ->setAccessibleName(state_.showRecoveryOriginal() ? QStringLiteral("Before recovery")
                                                          : QStringLiteral("After recovery"));
}

}  // namespace quillmere
