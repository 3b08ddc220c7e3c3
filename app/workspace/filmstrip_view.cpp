#include "app/workspace/filmstrip_view.h"

#include <fmt/format.h>

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"
#include "app/style/symbols.h"
#include "app/workspace/busy_indicator.h"
#include "app/workspace/filmstrip_delegate.h"
#include "app/workspace/filmstrip_list.h"
#include "app/workspace/filmstrip_model.h"

namespace quillmere {
namespace {

constexpr int kButtonSymbolSide = 14;

}  // namespace

FilmstripView::FilmstripView(AppState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      watcher_(new StateWatcher(state, this)),
      model_(new FilmstripModel(state, this)) {
    setObjectName("filmstrip");
    auto* delegate = new FilmstripDelegate(this);
    list_ = new FilmstripList(this);
    list_->setModel(model_);
    list_->setItemDelegate(delegate);
    connect(delegate, &FilmstripDelegate::thumbnailClicked, this,
            [this](const std::filesystem::path& url, Qt::KeyboardModifiers modifiers) {
                state_.selectPhoto(url, modifiers.testFlag(Qt::ControlModifier));
            });
    connect(delegate, &FilmstripDelegate::checkboxClicked, this,
            [this](const std::filesystem::path& url) { state_.togglePhotoSelection(url); });

    selectionHint_ = new QLabel("Adjustments apply to all selected photos", this);
    selectionHint_->setObjectName("selectionHint");
    selectionHint_->setToolTip("Spot repairs stay on the previewed photo");
    selectionHint_->setFont(textFont(TextStyle::caption2));
    setTextTone(*selectionHint_, TextTone::secondary);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    column->addWidget(makeHeader());
    column->addWidget(list_);
    column->addWidget(selectionHint_);

    using Field = AppState::Field;
    watcher_->onAnnounced({Field::sessionPhotos, Field::selectedPhotoIDs, Field::photo,
                           Field::isOpening, Field::isExporting, Field::isApplyingEdits},
                          [this] { syncFromState(); });
    watcher_->onChange(
        {Field::editParams}, [&state] { return state.editParams(); },
        [this](const auto&, const auto&) { setSavedMessage({}); });
    watcher_->onChange(
        {Field::photo}, [&state] { return state.photoURL(); },
        [this](const auto&, const std::optional<std::filesystem::path>& url) {
            if (!url) return;
            if (const std::optional<int> row = model_->row(*url)) {
                list_->glideTo(model_->index(*row));
            }
        });
    applyAppearance();
    syncFromState();
}

QWidget* FilmstripView::makeHeader() {
    auto* header = new QWidget(this);
    count_ = new QLabel(header);
    count_->setObjectName("filmstripCount");
    count_->setFont(textFont(TextStyle::caption));
    count_->setToolTip(
        "Ctrl+A selects all \u00b7 Ctrl+click or use the checkbox to select multiple photos");
    setTextTone(*count_, TextTone::secondary);
    applyingIndicator_ = new BusyIndicator(BusyIndicator::Size::small, header);
    savedMessage_ = new QLabel(header);
    savedMessage_->setObjectName("savedMessage");
    savedMessage_->setFont(textFont(TextStyle::caption));
    setTextTone(*savedMessage_, TextTone::secondary);
    savedMessage_->hide();

    syncButton_ = makeButton("syncSelectedButton", "Sync Selected",
                             "Apply this photo's adjustments to the selected photos. Local spot "
                             "repairs stay with their original photo.");
    connect(syncButton_, &QToolButton::clicked, this,
            [this] { state_.applyCurrentEditsToSelected([] {}); });
    saveButton_ =
        makeButton("saveAllEditsButton", "Save All Edits",
                   "Save every photo's current edit so it can be restored when reopened.");
    connect(saveButton_, &QToolButton::clicked, this, [this] { saveAllEdits(); });

    selectionMenu_ = makeButton("selectionMenuButton", "Selection options", {});
    auto* menu = new QMenu(selectionMenu_);
    selectAll_ = menu->addAction("Select All", this, [this] { state_.selectAllPhotos(); });
    selectAll_->setObjectName("selectAllAction");
    selectionMenu_->setMenu(menu);
    selectionMenu_->setPopupMode(QToolButton::InstantPopup);
    selectionMenu_->setStyleSheet("QToolButton::menu-indicator { image: none; }");

    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(count_);
    row->addStretch();
    for (QWidget* item : std::initializer_list<QWidget*>{
             applyingIndicator_, savedMessage_, syncButton_, saveButton_, selectionMenu_}) {
        row->addWidget(item);
    }
    return header;
}

QToolButton* FilmstripView::makeButton(const char* objectName, const QString& name,
                                       const QString& toolTip) {
    auto* button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setAccessibleName(name);
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize({kButtonSymbolSide, kButtonSymbolSide});
    return button;
}

void FilmstripView::syncFromState() {
    const std::size_t photos = state_.sessionPhotos().size();
    const std::set<std::filesystem::path>& selected = state_.selectedPhotoIDs();
    count_->setText(QString::fromStdString(fmt::format(
        "{} {} \u00b7 {} selected", photos, photos == 1 ? "photo" : "photos", selected.size())));
    const bool busy = state_.isBusy();
    const std::optional<std::filesystem::path> open = state_.photoURL();
    const bool otherSelection = std::any_of(selected.begin(), selected.end(),
                                            [&open](const auto& url) { return url != open; });
    syncButton_->setEnabled(otherSelection && !busy);
    saveButton_->setEnabled(!busy);
    selectAll_->setEnabled(!busy);
    applyingIndicator_->setVisible(state_.isApplyingEdits());
    selectionHint_->setVisible(selected.size() >= 2);
}

void FilmstripView::saveAllEdits() {
    // The strip may be gone by the time the save ends; the state is not.
    state_.saveAllEdits(
        [strip = QPointer(this), &state = state_](std::optional<AppState::SessionError> error) {
            if (error) {
                state.setLastError(error->what());
            } else if (strip) {
                strip->setSavedMessage("All edits saved");
            }
        });
}

void FilmstripView::setSavedMessage(const QString& text) {
    savedMessage_->setText(text);
    savedMessage_->setVisible(!text.isEmpty());
}

void FilmstripView::applyAppearance() {
    const qreal ratio = devicePixelRatioF();
    for (auto [button, symbol] :
         {std::pair{syncButton_, "arrow.triangle.2.circlepath"},
          std::pair{saveButton_, "square.and.arrow.down"}, std::pair{selectionMenu_, "ellipsis"}}) {
        QIcon icon;
        for (auto [mode, group] : {std::pair{QIcon::Normal, QPalette::Active},
                                   std::pair{QIcon::Disabled, QPalette::Disabled}}) {
            const QColor color = palette().color(group, QPalette::WindowText);
            icon.addPixmap(Symbols::pixmap(symbol, kButtonSymbolSide, color, ratio), mode);
        }
        button->setIcon(icon);
    }
}

void FilmstripView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) applyAppearance();
    QWidget::changeEvent(event);
}

void FilmstripView::paintEvent(QPaintEvent*) {
    // A bar set slightly apart from the window around it.
    const QColor window = palette().color(QPalette::Window);
    QPainter(this).fillRect(rect(), !isDark(palette()) ? window.darker(104) : window.lighter(125));
}

}  // namespace quillmere
