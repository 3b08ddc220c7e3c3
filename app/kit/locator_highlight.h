#pragma once

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

namespace quillmere {

// The frame that marks the control a locate request revealed: a rounded rectangle (radius 6) 8
// points wider than the control on each side and 6 taller at top and bottom, filled with the
// accent colour at 12 % and stroked with it at 50 %, 1 point wide. It lies over the column that
// holds the control, lets every press and drop through, never moves anything, and fades in and
// out.
class LocatorHighlight : public QWidget {
    Q_OBJECT

  public:
    // Covers `column` and follows its size.
    explicit LocatorHighlight(QWidget& column);

    // Frames `target` (a widget inside the column), fading in; null fades the frame out.
    void setTarget(QWidget* target);
    // The frame's rectangle in the column, or an empty one while nothing is framed.
    QRect frameRect() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void fadeTo(double opacity, double seconds, QEasingCurve curve);

    QWidget& column_;
    QPointer<QWidget> target_;
    // The widget drawn around: the target, or the one fading out.
    QPointer<QWidget> drawn_;
    double opacity_ = 0;
    QVariantAnimation fade_;
};

}  // namespace quillmere
