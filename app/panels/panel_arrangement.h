#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "app/state/edit_layer.h"

namespace quillmere {

class InspectorSettings;

// The order of the inspector's nine panels and which titled panels are collapsed, as the
// inspector preferences keep them. Damaged preferences are read as well as they can be and never
// rewritten by reading.
class PanelArrangement {
  public:
    // The panel ids in default order.
    static const QStringList defaultOrder;
    // What "Collapse All" stores: every panel title, both recovery titles included.
    static const QString allTitlesCollapsed;

    // `settings` must outlive the arrangement.
    explicit PanelArrangement(InspectorSettings& settings) : settings_(settings) {}

    // The nine ids: the known ids of `stored` (comma-joined) in stored order, each at its first
    // place only, then the missing ones in default order.
    static QStringList order(const QString& stored);
    QStringList order() const;
    // Puts `dragged` directly above `target` (at the end for an unknown target) and stores the
    // whole order. Nothing for a panel dropped on itself or an unknown dragged id.
    void movePanel(const QString& dragged, const QString& target);
    void restoreDefaultOrder();

    // A titled panel is expanded unless its title is in the collapse list.
    bool isExpanded(const QString& title) const;
    void setExpanded(const QString& title, bool expanded);
    void expandAll();
    void collapseAll();

    // The title of a titled panel other than recovery, whose title follows the photo; nothing
    // for the tone curve and the colour mixer, which draw their own title rows.
    static std::optional<QString> fixedTitle(const QString& id);
    // "RAW Recovery" with no photo or a RAW photo open, else "Highlights & Shadows".
    static QString recoveryTitle(bool showsRAW);
    // The titled panel that holds the layer's control; nothing for the tone curve and the colour
    // mixer, which keep their own flags.
    static std::optional<QString> panelTitle(EditLayer layer, bool showsRAW);

  private:
    InspectorSettings& settings_;
};

}  // namespace quillmere
