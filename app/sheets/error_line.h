#pragma once

#include <QLabel>

class QTextLayout;

namespace quillmere {

// A sheet's error line: plain text that wraps at word boundaries and, inside a word longer than
// the line (a path in a failure's text), anywhere, so every character is shown at the sheet's
// width. It needs one line's height at least and tells its layout the height its text takes.
class ErrorLine : public QLabel {
  public:
    explicit ErrorLine(QWidget* parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // Breaks the text into lines `width` wide; the height they take.
    qreal layOut(QTextLayout& layout, qreal width) const;
};

}  // namespace quillmere
