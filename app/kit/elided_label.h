#pragma once

#include <QLabel>
#include <QString>

namespace quillmere {

// One line of plain text that shortens itself with "…" to the width its row gives it, so a long
// name or path never widens the row nor pushes a button out of view. It asks for its whole text's
// width but needs only room for the "…"; while shortened, its tooltip holds the whole text.
// Names shorten at the end, paths in the middle so both ends stay visible.
class ElidedLabel : public QLabel {
  public:
    explicit ElidedLabel(Qt::TextElideMode mode = Qt::ElideRight, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    bool isElided() const { return text() != full_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void elide();

    Qt::TextElideMode mode_;
    QString full_;
};

}  // namespace quillmere
