#include "app/kit/panel_drag.h"

#include <QDrag>
#include <QMimeData>
#include <QPixmap>
#include <QWidget>

namespace quillmere {
namespace {

const QString prefix = QStringLiteral("quillmere.panel:");

}  // namespace

QString panelDragText(const QString& panelId) { return prefix + panelId; }

std::optional<QString> draggedPanelId(const QString& text) {
    if (!text.startsWith(prefix)) return std::nullopt;
    return text.mid(prefix.size());
}

void startPanelDrag(QWidget& source, const QString& text) {
    auto* drag = new QDrag(&source);
    auto* data = new QMimeData;
    data->setText(text);
    drag->setMimeData(data);
    const QPixmap preview = source.grab();
    drag->setPixmap(preview);
    drag->setHotSpot(QPoint(preview.width() / 2, preview.height() / 2) /
                     std::max(preview.devicePixelRatio(), 1.0));
    drag->exec(Qt::MoveAction);
}

}  // namespace quillmere
