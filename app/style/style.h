#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

class QFrame;
class QPainter;
class QPalette;
class QRectF;
class QWidget;

namespace quillmere {

// The program's look, in terms of the current palette and application font, so that it follows
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

// `color` at `opacity` of its own opacity.
QColor withAlpha(QColor color, double opacity);
// Error and validation text: a red that reads on the dark and the light appearance alike.
QColor errorTextColor();
// The accent colour: the palette's highlight.
QColor accentColor(const QPalette& palette);
// Text of lesser weight: the palette's text colour at 55 % and 30 % opacity.
QColor secondaryTextColor(const QPalette& palette);
QColor tertiaryTextColor(const QPalette& palette);
// The palette is dark: its window colour is darker than the middle grey.
bool isDark(const QPalette& palette);
// The widget is drawn in a dark palette.
bool isDark(const QWidget& widget);
// The translucent backing of badges and marks laid over a photo: the window's colour at 85 %.
QColor materialColor(const QPalette& palette);

// Shows a label's or button's text in a tone of its parent's palette, and keeps it so when the
// appearance changes.
enum class TextTone {
    secondary,  // the text colour at 55 %
    tertiary,   // at 30 %
    link,       // the link colour
};
void setTextTone(QWidget& widget, TextTone tone);
// The text colour at `opacity`, kept so likewise.
void setTextOpacity(QWidget& widget, double opacity);
// A one-pixel horizontal line in the tertiary tone, as between the inspector's sections.
QFrame* makeDivider(QWidget* parent);

// Symbols are the program's own SVG drawings (":/icons/<name>.svg", named like "trash" or
// "arrow.uturn.backward"), drawn in one colour through their shape (SourceIn), never the desktop's
// icon theme.
enum class SymbolTint {
    text,       // the palette's button text, dimmed when disabled
    muted,      // 70 % of the text colour
    secondary,  // 55 % of the text colour
    tertiary,   // 30 % of the text colour
    accent,     // the highlight colour
};
// Tinted at every paint from the application palette, so it follows the appearance.
QIcon symbolIcon(const QString& name, SymbolTint tint = SymbolTint::text);
// Paints the symbol into `rect` (kept square, centred) in `color`; nothing for an unknown name.
void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color);

}  // namespace quillmere
