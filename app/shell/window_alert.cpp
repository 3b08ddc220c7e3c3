#include "app/shell/window_alert.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace quillmere {
namespace {

// The share of its screen's height an alert's text may take. The rest is left to the icon, the
// buttons and the window manager's frame, which the box cannot measure before it is framed.
constexpr double kTextShareOfScreen = 2.0 / 3.0;

// Room around the text for the focus frame, which the style draws inside a widget's edges.
constexpr int kFocusMargin = 2;

// Where a key moves a scrolling text, as in a read-only text view: the arrows and Page Up and Down
// (which the scroll area handles itself), Home and End to either end.
std::optional<QAbstractSlider::SliderAction> endAction(const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier && modifiers != Qt::ControlModifier) return std::nullopt;
    if (key.key() == Qt::Key_Home) return QAbstractSlider::SliderToMinimum;
    if (key.key() == Qt::Key_End) return QAbstractSlider::SliderToMaximum;
    return std::nullopt;
}

bool movesText(const QKeyEvent& key) {
    return endAction(key) || key.matches(QKeySequence::MoveToPreviousPage) ||
           key.matches(QKeySequence::MoveToNextPage);
}

// The column around the alert's label inside its scroll area. A change of the label (its text,
// its wrapping) invalidates this layout at once, which passes it on to `area`, and so to the
// box's own layout: QMessageBox turns the label's wrapping off and on while it measures, and
// reads the new sizes in the same call.
class TextColumn : public QVBoxLayout {
  public:
    explicit TextColumn(QWidget& area) : area_(&area) { setContentsMargins(0, 0, 0, 0); }

    // The area is going: nothing more to tell it.
    void leave() { area_ = nullptr; }

    void invalidate() override {
        QVBoxLayout::invalidate();
        if (area_) area_->updateGeometry();
    }

  private:
    QWidget* area_;
};

// The alert's text, scrolling once it is taller than its share of the screen. A QMessageBox sizes
// itself to its whole text: a save that failed on hundreds of photos lists every one of them, and
// the box reached far below the screen, its OK button with it. The text keeps its label; this
// frameless area measures as the label does, but never taller than the share, and keeps the box
// on its screen as it grows.
//
// A text that scrolls reads with the keyboard as a read-only text view does: Tab and Backtab reach
// it from the buttons and go on to them, the arrows, Page Up and Down, Home and End move it, and
// the style's focus frame shows that it has the keys when they brought it there. Page Up and Down,
// Home and End, which no button of the box takes, move it from the buttons too; Return and Escape
// still answer the box. A text that fits is not in the Tab order.
class AlertText : public QScrollArea {
  public:
    AlertText(QLabel& text, QMessageBox& box)
        : QScrollArea(&box), text_(text), box_(box), column_(new TextColumn(*this)) {
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::NoFocus);
        setViewportMargins(kFocusMargin, kFocusMargin, kFocusMargin, kFocusMargin);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidgetResizable(true);
        connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
            setFocusPolicy(maximum > 0 ? Qt::StrongFocus : Qt::NoFocus);
        });
        // The label's place in the box's layout becomes this area's; the item that held it goes.
        delete box.layout()->replaceWidget(&text, this);
        auto* holder = new QWidget;
        holder->setLayout(column_);
        column_->addWidget(&text);
        setWidget(holder);
        box.installEventFilter(this);
    }
    ~AlertText() override { column_->leave(); }

    QSize minimumSizeHint() const override { return fitted(text_.minimumSizeHint()); }
    QSize sizeHint() const override { return fitted(text_.sizeHint()); }
    bool hasHeightForWidth() const override { return text_.hasHeightForWidth(); }
    int heightForWidth(int width) const override {
        const int margins = 2 * kFocusMargin;
        return std::min(text_.heightForWidth(width - margins) + margins, tallest());
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &box_ && event->type() == QEvent::Resize && box_.isVisible()) keepOnScreen();
        if (watched == &box_ && event->type() == QEvent::Show && !box_.focusWidget()) {
            focusDefaultButton();
        }
        // A key the focused button left to the box.
        if (watched == &box_ && event->type() == QEvent::KeyPress && focusPolicy() != Qt::NoFocus &&
            movesText(*static_cast<QKeyEvent*>(event))) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
        return QScrollArea::eventFilter(watched, event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (const auto action = endAction(*event)) {
            verticalScrollBar()->triggerAction(*action);
            event->accept();
            return;
        }
        QScrollArea::keyPressEvent(event);
    }

    // The frame, with the style's focus frame around the text while the keys move it.
    bool event(QEvent* event) override {
        const bool handled = QScrollArea::event(event);
        if (event->type() == QEvent::Paint) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            if (focus.state.testFlags(QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange)) {
                focus.backgroundColor = palette().color(QPalette::Window);
                QStylePainter(this).drawPrimitive(QStyle::PE_FrameFocusRect, focus);
            }
        } else if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            update();
        }
        return handled;
    }

  private:
    // The label's size with the room for the focus frame, cut to the share of the screen and
    // widened by the scroll bar it then needs.
    QSize fitted(QSize size) const {
        size += QSize(2 * kFocusMargin, 2 * kFocusMargin);
        if (size.height() <= tallest()) return size;
        return {size.width() + verticalScrollBar()->sizeHint().width(), tallest()};
    }

    // A box that opens while its text takes the focus opens on its default button all the same,
    // as every box of the program does: the text comes first in the Tab order.
    void focusDefaultButton() {
        QPushButton* button = box_.defaultButton();
        for (QWidget* next = box_.nextInFocusChain(); !button && next != &box_;
             next = next->nextInFocusChain()) {
            auto* candidate = qobject_cast<QPushButton*>(next);
            if (candidate && candidate->autoDefault() && candidate->isVisibleTo(&box_)) {
                button = candidate;
            }
        }
        if (button) button->setFocus();
    }

    int tallest() const {
        return static_cast<int>(box_.screen()->availableGeometry().height() * kTextShareOfScreen);
    }

    // A box that grew under a longer text moves up, as far as it must, to stay on its screen.
    void keepOnScreen() {
        const QRect screen = box_.screen()->availableGeometry();
        QRect frame = box_.frameGeometry();
        if (frame.bottom() > screen.bottom()) frame.moveBottom(screen.bottom());
        if (frame.top() < screen.top()) frame.moveTop(screen.top());
        if (frame.topLeft() != box_.frameGeometry().topLeft()) box_.move(frame.topLeft());
    }

    QLabel& text_;
    QMessageBox& box_;
    TextColumn* column_;
};

}  // namespace

QMessageBox* newWindowAlert(QWidget& window, const QString& objectName) {
    auto* box = new QMessageBox(&window);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setWindowTitle(QStringLiteral("Quillmere"));
    box->setIcon(QMessageBox::Warning);
    // After the icon: setting an icon lays the box out anew, with the label back in its place.
    if (auto* text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        new AlertText(*text, *box);
    }
    return box;
}

}  // namespace quillmere
