#pragma once

#include <QListView>

class QVariantAnimation;

namespace quillmere {

// The filmstrip's one row of photos, its content centred while it is narrower than the strip.
// Assistive technology sees each photo as its thumbnail and its selection checkbox
// (filmstrip_accessibility.h).
class FilmstripList : public QListView {
    Q_OBJECT

  public:
    explicit FilmstripList(QWidget* parent = nullptr);

    // Scrolls, animated, until the item at `index` is in the middle of the strip, or as near as
    // the strip's ends allow.
    void glideTo(const QModelIndex& index);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

  private:
    void centreContent();

    QVariantAnimation* glide_;
};

}  // namespace quillmere
