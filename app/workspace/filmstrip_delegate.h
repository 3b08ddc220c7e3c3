#pragma once

#include <QStyledItemDelegate>
#include <filesystem>

namespace quillmere {

// Draws one photo of the filmstrip: a 112 × 76 thumbnail (or the photo symbol until it arrives)
// with the edited mark in its bottom-right corner, the eye on the previewed photo, the selection
// outline and the selection checkbox, and the file name below. Clicks on the checkbox and on the
// rest of the thumbnail are told apart here; while the session is busy neither is taken.
class FilmstripDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    static constexpr int thumbnailWidth = 112;
    static constexpr int thumbnailHeight = 76;

    using QStyledItemDelegate::QStyledItemDelegate;

    // Where the parts of an item lie, from the item's top-left corner.
    static QRect thumbnailRect();
    static QRect checkboxRect();
    static QRect previewedMarkRect();
    static QRect editedMarkRect();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  signals:
    // A click on the thumbnail, with the modifier keys held.
    void thumbnailClicked(const std::filesystem::path& url, Qt::KeyboardModifiers modifiers);
    void checkboxClicked(const std::filesystem::path& url);
};

}  // namespace quillmere
