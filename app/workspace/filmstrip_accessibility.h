#pragma once

#include <QAccessibleWidget>
#include <map>

class QAbstractItemView;

namespace quillmere {

class FilmstripList;

// The filmstrip as assistive technology sees it: a list with two children per photo, in session
// order, drawn by the delegate rather than made of widgets:
// - the thumbnail, a button "Open <file name>" that previews the photo;
// - the selection checkbox, "Select <file name>", checked while the photo is selected.
// Both read "Selected" or "Not selected" as their value, and act as a click on them does.
class FilmstripAccessible : public QAccessibleWidget {
  public:
    explicit FilmstripAccessible(FilmstripList& list);
    ~FilmstripAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

  private:
    QAbstractItemView& list() const;

    // The children handed out so far, by index, as the accessibility cache registered them.
    mutable std::map<int, QAccessible::Id> children_;
};

}  // namespace quillmere
