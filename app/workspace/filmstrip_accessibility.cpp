#include "app/workspace/filmstrip_accessibility.h"

#include <QAbstractItemView>
#include <QPointer>
#include <filesystem>

#include "app/workspace/filmstrip_delegate.h"
#include "app/workspace/filmstrip_list.h"
#include "app/workspace/filmstrip_model.h"

namespace quillmere {
namespace {

enum class Part { thumbnail, checkbox };

// One part of one photo's item, read from the list's model whenever asked: it keeps no text or
// mark of its own, so it is never stale.
class FilmstripPart : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    FilmstripPart(QAbstractItemView& list, int row, Part part)
        : list_(&list), row_(row), part_(part) {}

    bool isValid() const override { return list_ && row_ < list_->model()->rowCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(list_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override {
        return part_ == Part::checkbox ? QAccessible::CheckBox : QAccessible::Button;
    }

    QString text(QAccessible::Text type) const override {
        if (!isValid()) return {};
        switch (type) {
            case QAccessible::Name:
                return (part_ == Part::checkbox ? "Select " : "Open ") +
                       index().data(Qt::DisplayRole).toString();
            case QAccessible::Value:
                return selected() ? "Selected" : "Not selected";
            default:
                return {};
        }
    }

    QRect rect() const override {
        if (!isValid()) return {};
        const QRect local = viewportRect();
        return {list_->viewport()->mapToGlobal(local.topLeft()), local.size()};
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.disabled = index().data(FilmstripModel::isBusyRole).toBool();
        state.offscreen = !list_->viewport()->rect().intersects(viewportRect());
        if (part_ == Part::checkbox) {
            state.checkable = true;
            state.checked = selected();
        }
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        const bool action = type == QAccessible::ActionInterface;
        return action ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override {
        return {part_ == Part::checkbox ? toggleAction() : pressAction()};
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // As a click on the part: a busy session takes none.
    void doAction(const QString& name) override {
        if (!actionNames().contains(name) || state().invalid || state().disabled) return;
        auto* delegate = qobject_cast<FilmstripDelegate*>(list_->itemDelegate());
        const std::filesystem::path url =
            index().data(FilmstripModel::urlRole).toString().toStdString();
        if (part_ == Part::checkbox) {
            emit delegate->checkboxClicked(url);
        } else {
            emit delegate->thumbnailClicked(url, Qt::NoModifier);
        }
    }

  private:
    QModelIndex index() const { return list_->model()->index(row_, 0); }
    bool selected() const { return index().data(FilmstripModel::isSelectedRole).toBool(); }
    // Where the delegate draws the part, in the list's viewport.
    QRect viewportRect() const {
        const QRect part = part_ == Part::checkbox ? FilmstripDelegate::checkboxRect()
                                                   : FilmstripDelegate::thumbnailRect();
        return part.translated(list_->visualRect(index()).topLeft());
    }

    QPointer<QAbstractItemView> list_;
    int row_;
    Part part_;
};

}  // namespace

FilmstripAccessible::FilmstripAccessible(FilmstripList& list)
    : QAccessibleWidget(&list, QAccessible::List) {}

FilmstripAccessible::~FilmstripAccessible() {
    for (const auto& [index, id] : children_) QAccessible::deleteAccessibleInterface(id);
}

QAbstractItemView& FilmstripAccessible::list() const {
    return *static_cast<QAbstractItemView*>(widget());
}

int FilmstripAccessible::childCount() const {
    return list().model() ? 2 * list().model()->rowCount() : 0;
}

QAccessibleInterface* FilmstripAccessible::child(int index) const {
    if (index < 0 || index >= childCount()) return nullptr;
    if (const auto known = children_.find(index); known != children_.end()) {
        return QAccessible::accessibleInterface(known->second);
    }
    auto* part = new FilmstripPart(list(), index / 2, index % 2 ? Part::checkbox : Part::thumbnail);
    children_[index] = QAccessible::registerAccessibleInterface(part);
    return part;
}

int FilmstripAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (const auto& [index, id] : children_) {
        if (QAccessible::accessibleInterface(id) == child) return index;
    }
    return -1;
}

QAccessibleInterface* FilmstripAccessible::childAt(int x, int y) const {
    const QPoint point = list().viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = list().indexAt(point);
    if (!index.isValid()) return nullptr;
    const QPoint inItem = point - list().visualRect(index).topLeft();
    if (FilmstripDelegate::checkboxRect().contains(inItem)) return child(2 * index.row() + 1);
    if (FilmstripDelegate::thumbnailRect().contains(inItem)) return child(2 * index.row());
    return nullptr;
}

}  // namespace quillmere
