#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>
#include <optional>

#include "app/style/style.h"

class QToolButton;
class QHBoxLayout;

namespace quillmere {

class ElidedLabel;

// A titled panel that folds away its content:
//   ˅ Title                         [own buttons] ≡
//     content
// A title too long for the row is shortened with "…", so the buttons stay in view.
// A click on the title row (or its arrow) folds or unfolds it and reports `toggled`; whoever keeps
// the state stores it and may set it back with `setExpanded`. When the group has a drag text, its
// title row is a drag source carrying that text, and the handle ≡ shows it; without one it
// neither drags nor shows the handle. The content is told through `expandedChanged` whether it is
// shown, which does not depend on whether the window is on screen.
class CollapsibleGroup : public QWidget {
    Q_OBJECT

  public:
    explicit CollapsibleGroup(const QString& title, QWidget* parent = nullptr);

    QString title() const;
    void setTitle(const QString& title);
    // Takes ownership; replaces any content before.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }
    // A borderless symbol button of the panel's own in the title row, before the handle, small
    // enough that the row keeps the height of a title row without buttons.
    QToolButton* addHeaderButton(const QString& symbol, SymbolTint tint);
    // A widget right after the title, such as a badge.
    void addTitleWidget(QWidget* widget);
    // The title row, for a highlight around it.
    QWidget* header() const { return header_; }
    void setDragText(const QString& text);
    QString dragText() const { return dragText_; }

    bool isExpanded() const { return expanded_; }
    // Shows the state; `expandedChanged` when it differs.
    void setExpanded(bool expanded);

  signals:
    // The user folded or unfolded the group (it already shows the new state).
    void toggled(bool expanded);
    void expandedChanged(bool expanded);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void toggle();

    QWidget* header_;
    QHBoxLayout* headerRow_;
    QToolButton* arrow_;
    ElidedLabel* title_;
    QToolButton* handle_;
    QWidget* content_ = nullptr;
    QString dragText_;
    bool expanded_ = true;
    // Where a press on the title row began, while the button is down.
    std::optional<QPoint> pressPoint_;
};

}  // namespace quillmere
