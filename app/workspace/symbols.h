#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace quillmere {

// The program's own symbols: SVG files drawn for it (resources/icons), never the desktop's icon
// theme. Each is drawn in one colour so it follows the palette like text.
namespace Symbols {

// The symbol `name` (the file name without ".svg") filling a square of `side` points, in
// `color`, at `devicePixelRatio` device pixels per point. A null pixmap for an unknown name.
QPixmap pixmap(const QString& name, qreal side, QColor color, qreal devicePixelRatio);

}  // namespace Symbols

}  // namespace quillmere
