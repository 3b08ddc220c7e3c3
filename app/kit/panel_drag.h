#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace quillmere {

// Inspector panels are reordered by dragging their title rows: a drag carries one plain text,
// "quillmere.panel:" followed by the panel id.

// "quillmere.panel:" + `panelId`.
QString panelDragText(const QString& panelId);
// The panel id of a drag's text: what follows the prefix (possibly nothing); no id without it.
std::optional<QString> draggedPanelId(const QString& text);
// Drags `source` away with `text`; returns when the drag ends.
void startPanelDrag(QWidget& source, const QString& text);

}  // namespace quillmere
