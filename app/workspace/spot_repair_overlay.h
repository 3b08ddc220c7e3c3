#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <optional>
#include <vector>

#include "core/edit/spot_repair.h"

class QPainter;

namespace quillmere {

// What the spot-repair brush draws over the photo: the outline of every committed repair, the
// stroke being painted (also filled, so it stands out) and the brush under the pointer.
struct SpotRepairOverlay {
    // Where the image lies, in the painter's coordinates; nothing is drawn outside it.
    QRectF imageRect;
    std::vector<SpotRepair> repairs;
    std::optional<SpotRepair> pendingRepair;
    // The brush outline's diameter, in the painter's units.
    double brushDiameter = 0;
    // Where to draw the brush outline; drawn only over the image.
    std::optional<QPointF> pointer;
    // The fill of the stroke being painted, drawn at 30 % opacity.
    QColor accent;

    void paint(QPainter& painter) const;
};

}  // namespace quillmere
