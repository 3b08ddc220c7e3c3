#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <optional>

namespace quillmere {

// The spinning wheel of spokes that says "working", small (16 points) beside text or large
// (32 points) in place of content. It turns only while it is visible and never takes the mouse.
class BusyIndicator : public QWidget {
    Q_OBJECT

  public:
    enum class Size { small, large };

    explicit BusyIndicator(Size size, QWidget* parent = nullptr);

    // The spokes' colour; without one, the palette's text colour.
    void setColor(std::optional<QColor> color);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    int side_;
    std::optional<QColor> color_;
    int step_ = 0;
    QTimer timer_;
};

}  // namespace quillmere
