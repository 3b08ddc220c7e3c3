#include "app/workspace/filmstrip_list.h"

#include <QAccessible>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVariantAnimation>
#include <algorithm>
#include <mutex>

#include "app/kit/ui_timing.h"
#include "app/workspace/filmstrip_accessibility.h"
#include "app/workspace/filmstrip_delegate.h"

namespace quillmere {
namespace {

// Space on each side of an item: 10 between two.
constexpr int kItemMargin = 5;
constexpr int kStripHeight = 100;
// How long the strip takes to glide to a photo, in seconds.
constexpr double kGlideDuration = 0.35;

QAccessibleInterface* accessibleFilmstrip(const QString&, QObject* object) {
    auto* list = qobject_cast<FilmstripList*>(object);
    return list ? new FilmstripAccessible(*list) : nullptr;
}

}  // namespace

FilmstripList::FilmstripList(QWidget* parent)
    : QListView(parent), glide_(new QVariantAnimation(this)) {
    static std::once_flag factoryInstalled;
    std::call_once(factoryInstalled, [] { QAccessible::installFactory(accessibleFilmstrip); });
    setObjectName("filmstripList");
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setSpacing(kItemMargin);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    // The strip keeps its height whether or not the scroll bar shows.
    setFixedHeight(kStripHeight + horizontalScrollBar()->sizeHint().height());

    glide_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(glide_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { horizontalScrollBar()->setValue(value.toInt()); });
}

void FilmstripList::glideTo(const QModelIndex& index) {
    QScrollBar* bar = horizontalScrollBar();
    const int from = bar->value();
    int to = from;
    {
        // Where the view's own scroll would end, found without scrolling there.
        const QSignalBlocker still(bar);
        scrollTo(index, QAbstractItemView::PositionAtCenter);
        to = bar->value();
        bar->setValue(from);
    }
    glide_->stop();
    if (to == from) return;
    glide_->setStartValue(from);
    glide_->setEndValue(to);
    glide_->setDuration(UiTiming::milliseconds(kGlideDuration));
    glide_->start();
}

void FilmstripList::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    centreContent();
}

void FilmstripList::rowsInserted(const QModelIndex& parent, int start, int end) {
    QListView::rowsInserted(parent, start, end);
    centreContent();
}

void FilmstripList::centreContent() {
    const int rows = model() ? model()->rowCount() : 0;
    const int content = rows * (FilmstripDelegate::thumbnailWidth + 2 * kItemMargin);
    const int margin = std::max(0, (width() - content) / 2);
    if (viewportMargins().left() != margin) setViewportMargins(margin, 0, margin, 0);
}

}  // namespace quillmere
