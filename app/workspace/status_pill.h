#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;

namespace quillmere {

// A capsule of status items (texts, a spinner) laid over the photo. It never takes the mouse, so
// the photo under it stays usable.
class StatusPill : public QWidget {
    Q_OBJECT

  public:
    enum class Style {
        // The window's own colour, slightly translucent.
        material,
        // Black at 60 %, with white text.
        dark,
    };

    StatusPill(Style style, QMargins padding, QWidget* parent = nullptr);

    // Adds an item at the right end.
    void addItem(QWidget* item);
    // Adds a plain-text label in the pill's text colour.
    QLabel* addLabel(const char* objectName, const QString& text = {});

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Style style_;
    QHBoxLayout* row_;
};

}  // namespace quillmere
