#pragma once

#include <QWidget>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace quillmere {

// What the main window shows while photos are dragged over it: a faint wash of the accent
// colour, a rounded outline inset from the edges, and "Drop photos to open" on a capsule in the
// middle. It fades in and out and never takes a click.
class DropOverlay : public QWidget {
    Q_OBJECT

  public:
    explicit DropOverlay(QWidget* parent);

    // Fades in while a drag is over the window, out when it leaves or drops.
    void setTargeted(bool targeted);
    bool isTargeted() const { return targeted_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QGraphicsOpacityEffect* opacity_;
    QPropertyAnimation* fade_;
    bool targeted_ = false;
};

}  // namespace quillmere
