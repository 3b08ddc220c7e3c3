#include "app/workspace/library_sidebar.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/panels/edit_stack_section.h"
#include "app/sheets/checkpoints_section.h"
#include "app/sheets/presets_section.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"
#include "app/style/symbols.h"

namespace quillmere {
namespace {

const QString kTabKey = "library.tab";
const QString kPresets = "Presets";

struct Tab {
    const char* title;
    const char* symbol;
};
constexpr Tab kTabs[] = {
    {"Presets", "camera.filters"},
    {"Checkpoints", "clock.arrow.circlepath"},
    {"Edits", "slider.horizontal.3"},
};
constexpr int kTabListHeight = 150;
constexpr int kTabSymbolSide = 16;

}  // namespace

LibrarySidebar::LibrarySidebar(AppState& state, Preferences& preferences,
                               std::function<void(EditLayer)> revealEdit, QWidget* parent)
    : QWidget(parent),
      state_(state),
      preferences_(preferences),
      revealEdit_(std::move(revealEdit)),
      watcher_(new StateWatcher(state, this)) {
    setObjectName("librarySidebar");
    auto* header = new QLabel("Library", this);
    header->setFont(textFont(TextStyle::caption));
    setTextTone(*header, TextTone::secondary);
    header->setContentsMargins(12, 8, 12, 2);

    tabs_ = new QListWidget(this);
    tabs_->setObjectName("libraryTabs");
    tabs_->setAccessibleName("Library");
    tabs_->setFixedHeight(kTabListHeight);
    tabs_->setFrameShape(QFrame::NoFrame);
    tabs_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tabs_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tabs_->setIconSize({kTabSymbolSide, kTabSymbolSide});
    for (const Tab& tab : kTabs) tabs_->addItem(tab.title);
    connect(tabs_, &QListWidget::currentTextChanged, this, [this](const QString& title) {
        if (!title.isEmpty()) preferences_.setValue(kTabKey, title);
    });
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == kTabKey) showStoredTab();
    });

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    setTextTone(*divider, TextTone::secondary);

    content_ = new QScrollArea(this);
    content_->setObjectName("librarySection");
    content_->setWidgetResizable(true);
    content_->setFrameShape(QFrame::NoFrame);
    // Every section shortens its long names to the pane's width: nothing to scroll sideways to.
    content_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(header);
    column->addWidget(tabs_);
    column->addWidget(divider);
    column->addWidget(content_, 1);

    using Field = AppState::Field;
    watcher_->onAnnounced({Field::isExporting, Field::isApplyingEdits}, [this] {
        setEnabled(!state_.isExporting() && !state_.isApplyingEdits());
    });
    setEnabled(!state_.isExporting() && !state_.isApplyingEdits());
    applyAppearance();
    showStoredTab();
}

void LibrarySidebar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) applyAppearance();
    QWidget::changeEvent(event);
}

void LibrarySidebar::applyAppearance() {
    for (int row = 0; row < tabs_->count(); ++row) {
        // In the accent colour, and in the selection's text colour on the selected row.
        QIcon icon;
        for (auto [mode, role] : {std::pair{QIcon::Normal, QPalette::Highlight},
                                  std::pair{QIcon::Selected, QPalette::HighlightedText}}) {
            icon.addPixmap(Symbols::pixmap(kTabs[row].symbol, kTabSymbolSide, palette().color(role),
                                           devicePixelRatioF()),
                           mode);
        }
        tabs_->item(row)->setIcon(icon);
    }
}

void LibrarySidebar::showStoredTab() {
    const QString tab = preferences_.value(kTabKey, kPresets).toString();
    if (content_->widget() && tab == tab_) return;
    tab_ = tab;
    const QList<QListWidgetItem*> rows = tabs_->findItems(tab, Qt::MatchExactly);
    {
        const QSignalBlocker quiet(tabs_);
        tabs_->setCurrentItem(rows.isEmpty() ? nullptr : rows.front());
    }

    auto* section = new QWidget;
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(16, 16, 16, 16);
    if (tab == "Checkpoints") {
        column->addWidget(new CheckpointsSection(state_));
    } else if (tab == "Edits") {
        column->addWidget(new EditStackSection(state_, revealEdit_));
    } else {
        column->addWidget(new PresetsSection(state_, true));
    }
    column->addStretch();
    // Replaces and deletes the section of the tab shown before.
    content_->setWidget(section);
}

}  // namespace quillmere
