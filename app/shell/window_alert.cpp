#include "app/shell/window_alert.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace quillmere {
namespace {

// The share of its screen's height an alert's text may take. The rest is left to the icon, the
// buttons and the window manager's frame, which the box cannot measure before it is framed.
constexpr double kTextShareOfScreen = 2.0 / 3.0;

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
class AlertText : public QScrollArea {
  public:
    AlertText(QLabel& text, QMessageBox& box)
        : QScrollArea(&box), text_(text), box_(box), column_(new TextColumn(*this)) {
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::NoFocus);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidgetResizable(true);
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
        return std::min(text_.heightForWidth(width), tallest());
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &box_ && event->type() == QEvent::Resize && box_.isVisible()) keepOnScreen();
        return QScrollArea::eventFilter(watched, event);
    }

  private:
    // The label's size, cut to the share of the screen and widened by the scroll bar it then needs.
    QSize fitted(QSize size) const {
        if (size.height() <= tallest()) return size;
        return {size.width() + verticalScrollBar()->sizeHint().width(), tallest()};
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
