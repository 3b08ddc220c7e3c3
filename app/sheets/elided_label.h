#pragma once

#include <QLabel>
#include <QString>

namespace quillmere {

// One line of plain text that shortens itself in the middle to the width it is given, so both
// ends of a long path stay visible; the whole text is its tooltip. It asks for no width of its
// own: the row around it decides.
class ElidedLabel : public QLabel {
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide();

    QString full_;
};

}  // namespace quillmere
