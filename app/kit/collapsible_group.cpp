#include "app/kit/collapsible_group.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/kit/elided_label.h"
#include "app/kit/panel_drag.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

QToolButton* symbolButton(const QString& symbol, SymbolTint tint, int side, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(symbolIcon(symbol, tint));
    button->setIconSize(QSize(side, side));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

CollapsibleGroup::CollapsibleGroup(const QString& title, QWidget* parent)
    : QWidget(parent),
      header_(new QWidget(this)),
      headerRow_(new QHBoxLayout(header_)),
      arrow_(symbolButton("chevron.down", SymbolTint::secondary, 10, header_)),
      title_(new ElidedLabel(Qt::ElideRight, header_)),
      handle_(symbolButton("line.3.horizontal", SymbolTint::tertiary, 11, header_)) {
    title_->setFullText(title);
    title_->setFont(weighted(textFont(TextStyle::subheadline), QFont::DemiBold));
    arrow_->setAccessibleName(title);
    // The handle only shows where to grab; the row underneath takes the press.
    handle_->setAttribute(Qt::WA_TransparentForMouseEvents);
    handle_->hide();
    headerRow_->setContentsMargins(0, 0, 0, 0);
    headerRow_->setSpacing(4);
    headerRow_->addWidget(arrow_);
    headerRow_->addWidget(title_);
    headerRow_->addStretch(1);
    headerRow_->addWidget(handle_);
    header_->installEventFilter(this);
    title_->installEventFilter(this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(header_);
    // Extra height goes below, never between the title row and the content.
    column->addStretch(1);
    connect(arrow_, &QToolButton::clicked, this, &CollapsibleGroup::toggle);
}

QString CollapsibleGroup::title() const { return title_->fullText(); }

void CollapsibleGroup::setTitle(const QString& title) {
    title_->setFullText(title);
    arrow_->setAccessibleName(title);
}

void CollapsibleGroup::setContent(QWidget* content) {
    delete content_;
    content_ = content;
    content_->setParent(this);
    static_cast<QVBoxLayout*>(layout())->insertWidget(1, content_);
    content_->setVisible(expanded_);
}

QToolButton* CollapsibleGroup::addHeaderButton(const QString& symbol, SymbolTint tint) {
    QToolButton* button = symbolButton(symbol, tint, 13, header_);
    button->setFocusPolicy(Qt::TabFocus);
    // No taller than the title row, so titled rows with and without buttons line up.
    button->setFixedHeight(std::max(title_->sizeHint().height(), arrow_->sizeHint().height()));
    headerRow_->insertWidget(headerRow_->indexOf(handle_), button);
    return button;
}

void CollapsibleGroup::addTitleWidget(QWidget* widget) {
    headerRow_->insertWidget(headerRow_->indexOf(title_) + 1, widget);
}

void CollapsibleGroup::setDragText(const QString& text) {
    dragText_ = text;
    handle_->setVisible(!text.isEmpty());
}

void CollapsibleGroup::setExpanded(bool expanded) {
    if (expanded == expanded_) return;
    expanded_ = expanded;
    arrow_->setIcon(symbolIcon(expanded ? "chevron.down" : "chevron.right", SymbolTint::secondary));
    if (content_) content_->setVisible(expanded);
    emit expandedChanged(expanded);
}

void CollapsibleGroup::toggle() {
    setExpanded(!expanded_);
    emit toggled(expanded_);
}

bool CollapsibleGroup::eventFilter(QObject* watched, QEvent* event) {
    if (watched != header_ && watched != title_) return false;
    // Presses on the title row: a click folds, a drag moves the panel.
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            pressPoint_ = mouse->globalPosition().toPoint();
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!pressPoint_ || dragText_.isEmpty()) return false;
            const QPoint moved = mouse->globalPosition().toPoint() - *pressPoint_;
            if (moved.manhattanLength() < QApplication::startDragDistance()) return true;
            pressPoint_.reset();
            startPanelDrag(*this, dragText_);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            if (!pressPoint_) return false;
            pressPoint_.reset();
            toggle();
            return true;
        }
        default:
            return false;
    }
}

}  // namespace quillmere
