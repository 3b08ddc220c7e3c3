#pragma once

#include <QAbstractButton>
#include <QColor>

namespace quillmere {

// A round colour swatch, ringed in the text colour while it is the selected one.
class SwatchButton : public QAbstractButton {
    Q_OBJECT

  public:
    SwatchButton(int diameter, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    void setSelected(bool selected);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int diameter_;
    QColor color_;
    bool selected_ = false;
};

}  // namespace quillmere
