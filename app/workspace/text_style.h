#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QWidget;

namespace quillmere {

// The workspace's small text styles and the appearance its own-drawn views follow.
namespace TextStyle {

// Captions, about three quarters of the body text.
QFont caption(const QFont& body);
// The smallest captions, for file names and hints.
QFont caption2(const QFont& body);
// Shows the widget's text in the palette's secondary (dimmed) colour.
void makeSecondary(QWidget& widget);
// A tooltip that shows `text` exactly as written, markup included; nothing for an empty text.
QString plainToolTip(const QString& text);

}  // namespace TextStyle

// The window is light when its background colour has a lightness of 128 or more.
bool isLightAppearance(const QPalette& palette);
// The translucent backing of badges and marks laid over a photo: the window's colour at 85 %.
QColor materialColor(const QPalette& palette);

}  // namespace quillmere
