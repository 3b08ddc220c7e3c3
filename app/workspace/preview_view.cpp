#include "app/workspace/preview_view.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"
#include "app/style/symbols.h"
#include "app/workspace/busy_indicator.h"
#include "app/workspace/preview_badge_text.h"
#include "app/workspace/preview_canvas.h"
#include "app/workspace/status_pill.h"

namespace quillmere {
namespace {

constexpr int kEmptyStateSymbolSide = 56;
constexpr int kOutdatedSymbolSide = 13;
// The warning yellow of the outdated mark's symbol, which reads on the pill's black in either
// appearance.
const QColor kWarningYellow = QColor::fromRgb(255, 204, 0);

}  // namespace

PreviewView::PreviewView(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), watcher_(new StateWatcher(state, this)) {
    setObjectName("preview");
    canvas_ = new PreviewCanvas(state, this);
    emptyState_ = makeEmptyState();
    spinner_ = new BusyIndicator(BusyIndicator::Size::large, this);
    spinner_->setObjectName("previewSpinner");

    exportingPill_ = new StatusPill(StatusPill::Style::dark, {12, 8, 12, 8}, this);
    exportingPill_->setObjectName("exportingPill");
    auto* exportingSpinner = new BusyIndicator(BusyIndicator::Size::small, exportingPill_);
    exportingSpinner->setColor(Qt::white);
    exportingPill_->addItem(exportingSpinner);
    exportingPill_->addLabel("exportingText", "Exporting\u2026");

    badge_ = makeBadge();
    outdatedMark_ = makeOutdatedMark();

    spotRepairHint_ = new StatusPill(StatusPill::Style::material, {12, 7, 12, 7}, this);
    spotRepairHint_->setObjectName("spotRepairHint");
    spotRepairHint_
        ->addLabel("spotRepairHintText",
                   "Drag to paint \u00b7 [ ] size \u00b7 Space-drag to pan \u00b7 Esc to finish")
        ->setFont(textFont(TextStyle::caption));

    applyAppearance();
    using Field = AppState::Field;
    watcher_->onAnnounced(
        {Field::isOpening, Field::photo, Field::isExporting, Field::isSpotRepairActive,
         Field::zoomPercent, Field::showDenoiseOriginal, Field::showRecoveryOriginal,
         Field::isRendering, Field::renderProgress},
        [this] { syncFromState(); });

    scheduler_ = std::make_unique<RenderScheduler>(
        state, std::make_shared<QtMainExecutor>(),
        [this](std::chrono::milliseconds delay, std::function<void()> fire) {
            QTimer::singleShot(delay, this, std::move(fire));
        });
    scheduler_->setPictureChanged([this] { pictureChanged(); });
    syncFromState();
}

PreviewView::~PreviewView() = default;

QWidget* PreviewView::makeEmptyState() {
    auto* hint = new QWidget(this);
    hint->setObjectName("dropZoneHint");
    hint->setToolTip("Choose one or more photos to edit together");

    dropZoneSymbol_ = new QLabel(hint);
    dropZoneSymbol_->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel("Open a photo", hint);
    QFont titleFont = font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    title->setFont(titleFont);
    auto* description =
        new QLabel("Drag photos here to start editing.\nRAW, ProRAW, JPEG and HEIC", hint);
    description->setAlignment(Qt::AlignCenter);
    setTextTone(*description, TextTone::secondary);
    auto* open = new QPushButton("Open Photos\u2026", hint);
    open->setObjectName("openPhotosButton");
    open->setMinimumHeight(open->sizeHint().height() * 5 / 4);
    connect(open, &QPushButton::clicked, this, [this] { state_.promptAndOpenPhoto(); });

    auto* column = new QVBoxLayout(hint);
    column->setSpacing(8);
    column->addWidget(dropZoneSymbol_, 0, Qt::AlignHCenter);
    column->addWidget(title, 0, Qt::AlignHCenter);
    column->addWidget(description, 0, Qt::AlignHCenter);
    column->addSpacing(8);
    column->addWidget(open, 0, Qt::AlignHCenter);
    return hint;
}

StatusPill* PreviewView::makeBadge() {
    auto* badge = new StatusPill(StatusPill::Style::material, {10, 6, 10, 6}, this);
    badge->setObjectName("zoomBadge");
    const QFont caption = textFont(TextStyle::caption);
    zoomText_ = badge->addLabel("zoomText");
    recoveryText_ = badge->addLabel("beforeRecoveryText", "\u00b7 Before recovery");
    processingSpinner_ = new BusyIndicator(BusyIndicator::Size::small, badge);
    badge->addItem(processingSpinner_);
    processingText_ = badge->addLabel("processingText");
    for (QLabel* label : {zoomText_, recoveryText_, processingText_}) label->setFont(caption);
    return badge;
}

// A dark pill with a warning sign, unlike the zoom badge above it, so that it is seen over any
// photo; the picture itself stays as it was developed, since a dimmed photo would be judged as
// an edit. The failure's cause is in the error alert; the mark says only what the picture is.
StatusPill* PreviewView::makeOutdatedMark() {
    auto* mark = new StatusPill(StatusPill::Style::dark, {10, 6, 10, 6}, this);
    mark->setObjectName("outdatedPictureMark");
    outdatedSymbol_ = new QLabel(mark);
    mark->addItem(outdatedSymbol_);
    mark->addLabel("outdatedPictureText", "Out of date: the current edit could not be rendered")
        ->setFont(textFont(TextStyle::caption));
    return mark;
}

void PreviewView::syncFromState() {
    const bool opening = state_.isOpening();
    const bool hasPhoto = state_.photo().has_value();
    canvas_->setVisible(!opening && hasPhoto);
    emptyState_->setVisible(!opening && !hasPhoto);
    // Only while something is under way: a photo whose render failed before it had a picture
    // shows its backdrop, not a spinner that waits for nothing.
    spinner_->setVisible(opening || (hasPhoto && !scheduler_->texture() && state_.isRendering()));
    exportingPill_->setVisible(state_.isExporting());
    spotRepairHint_->setVisible(state_.isSpotRepairActive());

    badge_->setVisible(hasPhoto);
    outdatedMark_->setVisible(!opening && hasPhoto && scheduler_->isPictureOutdated());
    zoomText_->setText(QString::fromStdString(
        PreviewBadgeText::zoom(state_.zoomPercent(), state_.showDenoiseOriginal())));
    recoveryText_->setVisible(state_.showRecoveryOriginal());
    processingSpinner_->setVisible(state_.isRendering());
    processingText_->setVisible(state_.isRendering());
    processingText_->setText(
        QString::fromStdString(PreviewBadgeText::processing(state_.renderProgress())));
    layoutOverlays();
}

void PreviewView::pictureChanged() {
    canvas_->setTexture(scheduler_->texture());
    canvas_->setColorSampleTexture(scheduler_->colorSampleTexture());
    syncFromState();
}

void PreviewView::layoutOverlays() {
    canvas_->setGeometry(rect());
    for (QWidget* centred : std::initializer_list<QWidget*>{spinner_, emptyState_}) {
        centred->adjustSize();
        QRect frame(QPoint(), centred->size());
        frame.moveCenter(rect().center());
        centred->setGeometry(frame);
    }
    const auto bottomCentre = [this](QWidget* pill, int bottomPadding) {
        pill->adjustSize();
        pill->move((width() - pill->width()) / 2, height() - bottomPadding - pill->height());
    };
    bottomCentre(exportingPill_, 16);
    bottomCentre(spotRepairHint_, 12);
    badge_->adjustSize();
    badge_->move(10, 10);
    outdatedMark_->adjustSize();
    outdatedMark_->move(10, badge_->geometry().bottom() + 1 + 6);
    // Back to front: the photo, the spinner, the pills.
    for (QWidget* layer : std::initializer_list<QWidget*>{spinner_, exportingPill_, badge_,
                                                          outdatedMark_, spotRepairHint_}) {
        layer->raise();
    }
}

void PreviewView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const double grey = !isDark(palette()) ? 0.82 : 0.0;
    painter.fillRect(rect(), QColor::fromRgbF(grey, grey, grey));
}

void PreviewView::resizeEvent(QResizeEvent*) { layoutOverlays(); }

void PreviewView::showEvent(QShowEvent* event) {
    // A window restored from being minimised shows its views again without anything having changed.
    if (!event->spontaneous()) scheduler_->appear();
}

void PreviewView::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) scheduler_->disappear();
}

void PreviewView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) applyAppearance();
    QWidget::changeEvent(event);
}

void PreviewView::applyAppearance() {
    canvas_->setLightAppearance(!isDark(palette()));
    dropZoneSymbol_->setPixmap(Symbols::pixmap("photo.on.rectangle.angled", kEmptyStateSymbolSide,
                                               palette().color(QPalette::PlaceholderText),
                                               devicePixelRatioF()));
    outdatedSymbol_->setPixmap(Symbols::pixmap("exclamationmark.triangle", kOutdatedSymbolSide,
                                               kWarningYellow, devicePixelRatioF()));
}

}  // namespace quillmere
