#include "app/panels/slider_panel.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <functional>

#include "app/kit/collapsible_group.h"
#include "app/kit/inspector_settings.h"
#include "app/kit/locator_highlight.h"
#include "app/kit/panel_drag.h"
#include "app/kit/ui_timing.h"
#include "app/panels/capture_metadata_view.h"
#include "app/panels/denoise_panel.h"
#include "app/panels/histogram_view.h"
#include "app/panels/hsl_section.h"
#include "app/panels/recovery_panel.h"
#include "app/panels/sharpening_section.h"
#include "app/panels/slider_rows_panel.h"
#include "app/panels/spot_repair_section.h"
#include "app/panels/tone_curve_section.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

// A panel with its padding, taking the panel drops: any text is accepted at once, and a panel's
// drag text moves that panel above this one on the next turn, never inside the drop.
class PanelSlot : public QWidget {
  public:
    PanelSlot(const QString& id, std::function<void(const QString&)> moveHere, QWidget* parent)
        : QWidget(parent), moveHere_(std::move(moveHere)) {
        setObjectName(id);
        setAcceptDrops(true);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(16, 14, 16, 14);
    }

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasText()) event->acceptProposedAction();
    }
    void dropEvent(QDropEvent* event) override {
        if (!event->mimeData()->hasText()) return;
        event->acceptProposedAction();
        const std::optional<QString> dragged = draggedPanelId(event->mimeData()->text());
        if (!dragged) return;
        QTimer::singleShot(0, this, [this, id = *dragged] { moveHere_(id); });
    }

  private:
    std::function<void(const QString&)> moveHere_;
};

// White text on the accent colour in a capsule.
class Badge : public QLabel {
  public:
    Badge(const QString& text, QWidget* parent) : QLabel(text, parent) {
        setFont(weighted(textFont(TextStyle::caption2), QFont::Bold));
        setContentsMargins(6, 2, 6, 2);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        QPalette white = palette();
        white.setColor(QPalette::WindowText, Qt::white);
        setPalette(white);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = accentColor(palette());
        fill.setAlphaF(0.85f);
        const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath path;
        path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        painter.fillPath(path, fill);
        painter.end();
        QLabel::paintEvent(event);
    }
};

// Kept in the collapse list under its title; the tone curve and the colour mixer keep flags.
bool isTitled(const QString& id) { return id != "toneCurve" && id != "colorMixer"; }

}  // namespace

SliderPanel::SliderPanel(AppState& state, Preferences& preferences, QWidget* parent)
    : QWidget(parent),
      state_(state),
      settings_(new InspectorSettings(preferences, this)),
      arrangement_(*settings_),
      watcher_(new StateWatcher(state, this)) {
    setObjectName("sliderPanel");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeHeader());
    layout->addWidget(makePhotoSummary());
    layout->addWidget(makeDivider(this));

    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    column_ = new QWidget;
    columnLayout_ = new QVBoxLayout(column_);
    columnLayout_->setContentsMargins(0, 0, 0, 0);
    columnLayout_->setSpacing(0);
    // Without a photo the column is inert and drawn at half opacity; the header stays active.
    auto* dimming = new QGraphicsOpacityEffect(column_);
    dimming->setOpacity(0.5);
    column_->setGraphicsEffect(dimming);
    buildPanels();
    columnLayout_->addStretch(1);
    scroll_->setWidget(column_);
    layout->addWidget(scroll_, 1);
    highlight_ = new LocatorHighlight(*column_);
    scrollAnimation_ = new QVariantAnimation(this);
    connect(
        scrollAnimation_, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { scroll_->verticalScrollBar()->setValue(value.toInt()); });

    connect(settings_, &InspectorSettings::changed, this, &SliderPanel::syncArrangement);
    using Field = AppState::Field;
    watcher_->onAnnounced({Field::photo, Field::isOpening, Field::xmpLoaded},
                          [this] { syncPhoto(); });
    watcher_->onChange(
        {Field::photo}, [this] { return RecoveryPanel::title(state_); },
        [this](const QString&, const QString&) { syncArrangement(); });
    watcher_->onChange(
        {Field::requestedEditLayer}, [this] { return state_.requestedEditLayer(); },
        [this](auto, auto) { handleRequest(); });
    watcher_->onChange(
        {Field::isSpotRepairActive}, [this] { return state_.isSpotRepairActive(); },
        [this](bool, bool active) {
            if (!active) return;
            arrangement_.setExpanded("Spot Repair", true);
            scrollToTop(panel("spotRepair"));
        });
    syncArrangement();
    syncPhoto();
}

SliderPanel::~SliderPanel() = default;

QWidget* SliderPanel::makePhotoSummary() {
    auto* summary = new QWidget(this);
    auto* column = new QVBoxLayout(summary);
    column->setContentsMargins(16, 12, 16, 10);
    column->setSpacing(0);
    auto* histogram = new HistogramView(90, summary);
    auto* capture = new CaptureMetadataView(summary);
    column->addWidget(histogram);
    column->addSpacing(4);
    column->addWidget(capture);
    const auto sync = [this, histogram, capture] {
        histogram->setData(state_.histogram());
        capture->setPhoto(state_.photo());
    };
    watcher_->onAnnounced({AppState::Field::histogram, AppState::Field::photo}, sync);
    sync();
    return summary;
}

QWidget* SliderPanel::makeHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(8);
    auto* title = new QLabel("Adjustments", header);
    title->setFont(textFont(TextStyle::headline));
    badge_ = new Badge("ACR", header);
    auto* options = new QToolButton(header);
    options->setObjectName("adjustmentOptions");
    options->setIcon(symbolIcon("ellipsis.circle"));
    options->setAutoRaise(true);
    options->setPopupMode(QToolButton::InstantPopup);
    options->setToolTip("Adjustment options");
    options->setAccessibleName("Adjustment options");
    options->setStyleSheet("QToolButton::menu-indicator { image: none; }");
    menu_ = new QMenu(options);
    menu_->addAction("Expand All", this, [this] { arrangement_.expandAll(); });
    menu_->addAction("Collapse All", this, [this] { arrangement_.collapseAll(); });
    menu_->addAction("Restore Default Order", this, [this] { arrangement_.restoreDefaultOrder(); });
    menu_->addSeparator();
    resetAction_ = menu_->addAction(symbolIcon("arrow.uturn.backward"), "Reset Adjustments", this,
                                    [this] { state_.resetAll(); });
    options->setMenu(menu_);
    row->addWidget(title);
    row->addWidget(badge_);
    row->addStretch(1);
    row->addWidget(options);
    return header;
}

void SliderPanel::buildPanels() {
    for (const QString& id : PanelArrangement::defaultOrder) {
        auto* slot = new PanelSlot(
            id, [this, id](const QString& dragged) { movePanel(dragged, id); }, column_);
        CollapsibleGroup* group = makeGroup(id);
        slot->layout()->addWidget(group);
        panels_.push_back(Panel{id, slot, makeDivider(column_), group});
        connect(group, &CollapsibleGroup::toggled, this,
                [this, id](bool expanded) { writeExpanded(id, expanded); });
    }
}

CollapsibleGroup* SliderPanel::makeGroup(const QString& id) {
    if (id == "toneCurve") return new ToneCurveSection(state_);
    if (id == "colorMixer") return new HSLSection(state_);
    auto* group = new CollapsibleGroup(titleOf(id));
    group->setDragText(panelDragText(id));
    SliderRowsPanel* rows = nullptr;
    if (id == "whiteBalance") rows = makeWhiteBalancePanel(state_);
    if (id == "tone") rows = makeTonePanel(state_);
    if (id == "presence") rows = makePresencePanel(state_);
    if (id == "recovery") rows = new RecoveryPanel(state_);
    if (id == "denoise") rows = new DenoisePanel(state_);
    if (rows) {
        group->setContent(rows);
        rowPanels_.push_back(rows);
        connect(group, &CollapsibleGroup::expandedChanged, rows, &SliderRowsPanel::setShown);
    }
    if (id == "detail") group->setContent(new SharpeningSection(state_));
    if (id == "spotRepair") group->setContent(new SpotRepairSection(state_));
    return group;
}

SliderPanel::Panel* SliderPanel::find(const QString& id) {
    for (Panel& panel : panels_) {
        if (panel.id == id) return &panel;
    }
    return nullptr;
}

const SliderPanel::Panel* SliderPanel::find(const QString& id) const {
    return const_cast<SliderPanel*>(this)->find(id);
}

QWidget* SliderPanel::panel(const QString& id) const {
    const Panel* found = find(id);
    return found ? found->slot : nullptr;
}

CollapsibleGroup* SliderPanel::group(const QString& id) const {
    const Panel* found = find(id);
    return found ? found->group : nullptr;
}

QString SliderPanel::titleOf(const QString& id) const {
    return PanelArrangement::fixedTitle(id).value_or(RecoveryPanel::title(state_));
}

void SliderPanel::movePanel(const QString& dragged, const QString& target) {
    arrangement_.movePanel(dragged, target);
}

bool SliderPanel::readExpanded(const QString& id) const {
    if (id == "toneCurve") return settings_->toneCurveExpanded();
    if (id == "colorMixer") return settings_->colorMixerExpanded();
    return arrangement_.isExpanded(titleOf(id));
}

void SliderPanel::writeExpanded(const QString& id, bool expanded) {
    if (id == "toneCurve") return settings_->setToneCurveExpanded(expanded);
    if (id == "colorMixer") return settings_->setColorMixerExpanded(expanded);
    arrangement_.setExpanded(titleOf(id), expanded);
}

void SliderPanel::syncArrangement() {
    for (Panel& panel : panels_) {
        if (isTitled(panel.id)) panel.group->setTitle(titleOf(panel.id));
        panel.group->setExpanded(readExpanded(panel.id));
    }
    const QStringList order = arrangement_.order();
    if (order == shownOrder_) return;
    shownOrder_ = order;
    // Moved, never rebuilt, so focus and a drag in progress survive.
    int index = 0;
    for (const QString& id : order) {
        Panel* panel = find(id);
        columnLayout_->removeWidget(panel->slot);
        columnLayout_->removeWidget(panel->divider);
        columnLayout_->insertWidget(index++, panel->slot);
        columnLayout_->insertWidget(index++, panel->divider);
    }
}

void SliderPanel::syncPhoto() {
    const bool hasPhoto = state_.photo().has_value();
    column_->setEnabled(hasPhoto);
    column_->graphicsEffect()->setEnabled(!hasPhoto);
    resetAction_->setEnabled(hasPhoto && !state_.isOpening());
    badge_->setVisible(state_.xmpLoaded());
}

void SliderPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (state_.requestedEditLayer()) {
        handleRequest();
    } else if (state_.isSpotRepairActive()) {
        locate(EditLayer::spotRepair);
    }
}

void SliderPanel::handleRequest() {
    // A request made while the inspector is hidden waits until it is shown.
    const std::optional<EditLayer> layer = state_.requestedEditLayer();
    if (!layer || !isVisible()) return;
    locate(*layer);
    state_.setRequestedEditLayer(std::nullopt);
}

void SliderPanel::expandPanelOf(EditLayer layer) {
    if (auto title = PanelArrangement::panelTitle(layer, RecoveryPanel::showsRAWTexts(state_))) {
        arrangement_.setExpanded(*title, true);
    } else if (layer == EditLayer::toneCurve) {
        settings_->setToneCurveExpanded(true);
    } else if (layer == EditLayer::colorMixer) {
        settings_->setColorMixerExpanded(true);
    }
}

void SliderPanel::locate(EditLayer layer) {
    expandPanelOf(layer);
    const int generation = ++locationGeneration_;
    locatedLayer_ = layer;
    highlight_->setTarget(highlightTarget(layer));
    scrollToTop(scrollTarget(layer));
    QTimer::singleShot(UiTiming::milliseconds(1.8), this, [this, generation] {
        if (generation != locationGeneration_) return;
        locatedLayer_.reset();
        highlight_->setTarget(nullptr);
    });
}

SliderRow* SliderPanel::row(EditLayer layer) const {
    for (SliderRowsPanel* rows : rowPanels_) {
        if (SliderRow* found = rows->row(layer)) return found;
    }
    return nullptr;
}

QWidget* SliderPanel::scrollTarget(EditLayer layer) const {
    switch (layer) {
        case EditLayer::spotRepair:
            return panel("spotRepair");
        case EditLayer::toneCurve:
            return panel("toneCurve");
        case EditLayer::colorMixer:
            return panel("colorMixer");
        default:
            return highlightTarget(layer);
    }
}

QWidget* SliderPanel::highlightTarget(EditLayer layer) const {
    switch (layer) {
        case EditLayer::spotRepair:
            return nullptr;
        case EditLayer::sharpening:
            return group("detail")->content();
        case EditLayer::toneCurve:
            return group("toneCurve")->header();
        case EditLayer::colorMixer:
            return group("colorMixer")->header();
        default:
            return row(layer);
    }
}

void SliderPanel::scrollToTop(QWidget* widget) {
    // On the next turn, when what was unfolded has been laid out.
    QTimer::singleShot(0, this, [this, target = QPointer<QWidget>(widget)] {
        if (!target) return;
        columnLayout_->activate();
        QScrollBar* bar = scroll_->verticalScrollBar();
        const int top = target->mapTo(column_, QPoint(0, 0)).y();
        scrollAnimation_->stop();
        scrollAnimation_->setStartValue(bar->value());
        // The scroll bar keeps the value within its range.
        scrollAnimation_->setEndValue(std::clamp(top, bar->minimum(), bar->maximum()));
        scrollAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
        scrollAnimation_->setDuration(UiTiming::milliseconds(0.2));
        scrollAnimation_->start();
    });
}

}  // namespace quillmere
