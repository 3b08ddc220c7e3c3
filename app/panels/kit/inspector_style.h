#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

class QPainter;
class QPalette;
class QRectF;
class QWidget;

namespace quillmere {

// The inspector's look, in terms of the current palette and application font, so that it follows
// the dark and light appearance and the user's font size.

// Text styles, sized relative to the application font.
enum class TextStyle {
    body,         // the application font
    headline,     // body size, bold
    subheadline,  // slightly smaller
    caption,      // smaller still
    caption2,     // the smallest
};
QFont textFont(TextStyle style);
// The system's fixed-pitch font at the size of `font`, so that changing digits keep their width.
QFont digitFont(const QFont& font);
// `font` in bold or semibold.
QFont weighted(QFont font, QFont::Weight weight);

// The accent colour: the palette's highlight.
QColor accentColor(const QPalette& palette);
// Text of lesser weight: the palette's text colour at 55 % and 30 % opacity.
QColor secondaryTextColor(const QPalette& palette);
QColor tertiaryTextColor(const QPalette& palette);
// The widget is drawn dark: its window colour is darker than the middle grey.
bool isDark(const QWidget& widget);

// Shows a label's or button's text in the secondary or tertiary tone of its parent's text colour,
// and keeps it so when the appearance changes.
enum class TextTone { secondary, tertiary };
void setTextTone(QWidget& widget, TextTone tone);

// Symbols are the program's own SVG drawings (":/icons/<name>.svg", named like "trash" or
// "arrow.uturn.backward"), drawn in one colour through their shape (SourceIn), never the desktop's
// icon theme.
enum class SymbolTint {
    text,       // the palette's button text, dimmed when disabled
    secondary,  // 55 % of the text colour
    tertiary,   // 30 % of the text colour
    accent,     // the highlight colour
};
// Tinted at every paint from the application palette, so it follows the appearance.
QIcon symbolIcon(const QString& name, SymbolTint tint = SymbolTint::text);
// Paints the symbol into `rect` (kept square, centred) in `color`; nothing for an unknown name.
void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color);

}  // namespace quillmere
