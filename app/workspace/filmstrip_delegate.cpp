#include "app/workspace/filmstrip_delegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <cmath>

#include "app/style/style.h"
#include "app/style/symbols.h"
#include "app/workspace/filmstrip_model.h"

namespace quillmere {
namespace {

constexpr int kCheckboxSymbolSide = 16;
constexpr int kMarkSymbolSide = 12;
constexpr int kPlaceholderSymbolSide = 24;
// Between the thumbnail and the file name.
constexpr int kNameSpacing = 5;

// The file name's line, tall enough for every mark a line of `font` paints: its ascent and descent
// as the font gives them, rounded up together. QFontMetrics::height() rounds each to the nearest
// pixel, and some fonts hang the underscore at the very bottom of the descent (DejaVu Sans at
// caption size: 2.4 pixels under the baseline, rounded to 2), so a line of that height cut the
// underscores off while the descenders of "p" and "g" showed.
int nameLineHeight(const QFont& font) {
    return static_cast<int>(std::ceil(QFontMetricsF(font).height()));
}

// A mark on the material backing: the symbol padded 4 on every side.
void drawMark(QPainter& painter, QRect frame, const QString& symbol, int side, QColor color,
              const QPalette& palette) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(materialColor(palette));
    painter.drawRoundedRect(frame, 3, 3);
    const QPixmap pixmap =
        Symbols::pixmap(symbol, side, color, painter.device()->devicePixelRatioF());
    painter.drawPixmap(frame.topLeft() + QPoint(4, 4), pixmap);
}

std::filesystem::path urlOf(const QModelIndex& index) {
    return index.data(FilmstripModel::urlRole).toString().toStdString();
}

}  // namespace

QRect FilmstripDelegate::thumbnailRect() { return {0, 0, thumbnailWidth, thumbnailHeight}; }

QRect FilmstripDelegate::checkboxRect() {
    const int side = kCheckboxSymbolSide + 8;
    return {5, 5, side, side};
}

QRect FilmstripDelegate::previewedMarkRect() {
    const int side = kMarkSymbolSide + 8;
    return {thumbnailWidth - 5 - side, 5, side, side};
}

QRect FilmstripDelegate::editedMarkRect() {
    const int side = kMarkSymbolSide + 8;
    return {thumbnailWidth - 4 - side, thumbnailHeight - 4 - side, side, side};
}

QSize FilmstripDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {thumbnailWidth,
            thumbnailHeight + kNameSpacing + nameLineHeight(textFont(TextStyle::caption2))};
}

void FilmstripDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QPalette& palette = option.palette;
    painter->save();
    painter->translate(option.rect.topLeft());
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    // A busy session takes no clicks, and the items look it.
    if (index.data(FilmstripModel::isBusyRole).toBool()) painter->setOpacity(0.5);

    const QRect frame = thumbnailRect();
    painter->setPen(Qt::NoPen);
    painter->setBrush(palette.color(QPalette::Base));
    painter->drawRoundedRect(frame, 6, 6);

    const QImage thumbnail = index.data(FilmstripModel::thumbnailRole).value<QImage>();
    if (!thumbnail.isNull()) {
        QRect fitted(QPoint(), thumbnail.size().scaled(frame.adjusted(3, 3, -3, -3).size(),
                                                       Qt::KeepAspectRatio));
        fitted.moveCenter(frame.center());
        painter->drawImage(fitted, thumbnail);
    } else {
        QRect symbol(0, 0, kPlaceholderSymbolSide, kPlaceholderSymbolSide);
        symbol.moveCenter(frame.center());
        painter->drawPixmap(symbol.topLeft(),
                            Symbols::pixmap("photo", kPlaceholderSymbolSide,
                                            palette.color(QPalette::PlaceholderText),
                                            painter->device()->devicePixelRatioF()));
    }
    const QColor primary = palette.color(QPalette::WindowText);
    if (index.data(FilmstripModel::isEditedRole).toBool()) {
        drawMark(*painter, editedMarkRect(), "slider.horizontal.3", kMarkSymbolSide, primary,
                 palette);
    }

    const bool selected = index.data(FilmstripModel::isSelectedRole).toBool();
    QColor outline =
        selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::PlaceholderText);
    if (!selected) outline.setAlphaF(0.2f);
    const double lineWidth = selected ? 2 : 1;
    painter->setPen(QPen(outline, lineWidth));
    painter->setBrush(Qt::NoBrush);
    const double half = lineWidth / 2;
    painter->drawRoundedRect(QRectF(frame).adjusted(half, half, -half, -half), 5, 5);

    if (index.data(FilmstripModel::isPreviewedRole).toBool()) {
        drawMark(*painter, previewedMarkRect(), "eye.fill", kMarkSymbolSide, primary, palette);
    }
    drawMark(*painter, checkboxRect(), selected ? "checkmark.square.fill" : "square",
             kCheckboxSymbolSide, selected ? palette.color(QPalette::Highlight) : primary, palette);

    const QFont nameFont = textFont(TextStyle::caption2);
    const QFontMetrics metrics(nameFont);
    const QRect name(0, thumbnailHeight + kNameSpacing, thumbnailWidth, nameLineHeight(nameFont));
    painter->setFont(nameFont);
    painter->setPen(primary);
    // From the line's top, so that the baseline leaves the whole descent below it.
    painter->drawText(name, Qt::AlignHCenter | Qt::AlignTop,
                      metrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle,
                                         thumbnailWidth));
    painter->restore();
}

bool FilmstripDelegate::editorEvent(QEvent* event, QAbstractItemModel*,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick) {
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint point = mouse->position().toPoint() - option.rect.topLeft();
    if (!thumbnailRect().contains(point)) return false;
    // The item acts once, when the button is let go over it.
    if (type != QEvent::MouseButtonRelease || mouse->button() != Qt::LeftButton) return true;
    if (index.data(FilmstripModel::isBusyRole).toBool()) return true;
    if (checkboxRect().contains(point)) {
        emit checkboxClicked(urlOf(index));
    } else {
        emit thumbnailClicked(urlOf(index), mouse->modifiers());
    }
    return true;
}

bool FilmstripDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    const QPoint point = event->pos() - option.rect.topLeft();
    if (event->type() != QEvent::ToolTip || !thumbnailRect().contains(point)) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QToolTip::showText(event->globalPos(),
                       checkboxRect().contains(point)
                           ? "Add or remove this photo from the selection"
                           : "Click to select. Ctrl-click to add or remove. The eye marks the "
                             "previewed photo.",
                       view);
    return true;
}

}  // namespace quillmere
