#include "app/style/style.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <functional>

#include "app/style/symbols.h"

namespace quillmere {
namespace {

QColor toneColor(const QPalette& palette, TextTone tone) {
    switch (tone) {
        case TextTone::secondary:
            return secondaryTextColor(palette);
        case TextTone::tertiary:
            return tertiaryTextColor(palette);
        case TextTone::link:
            return palette.color(QPalette::Link);
    }
    return palette.color(QPalette::WindowText);
}

// Keeps a widget's text in a tone of its parent's text colour. The parent inherits the
// application palette, which sets the appearance, so a change of its palette is the moment to
// re-apply the tone; the widget itself may not hear of it, since it overrides the text roles.
class ToneKeeper : public QObject {
  public:
    using Tone = std::function<QColor(const QPalette&)>;

    ToneKeeper(QWidget& widget, Tone tone)
        : QObject(&widget), widget_(widget), tone_(std::move(tone)) {
        widget.installEventFilter(this);
        follow(widget.parentWidget());
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &widget_ && event->type() == QEvent::ParentChange) {
            follow(widget_.parentWidget());
        } else if (watched == parent_ && event->type() == QEvent::PaletteChange) {
            apply();
        }
        return false;
    }

  private:
    void follow(QWidget* parent) {
        if (parent_) parent_->removeEventFilter(this);
        parent_ = parent;
        if (parent_) parent_->installEventFilter(this);
        apply();
    }

    void apply() {
        const QPalette source = parent_ ? parent_->palette() : QApplication::palette(&widget_);
        const QColor color = tone_(source);
        QPalette palette = widget_.palette();
        for (QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
            palette.setColor(QPalette::Active, role, color);
            palette.setColor(QPalette::Inactive, role, color);
            palette.setColor(QPalette::Disabled, role, withAlpha(color, 0.5));
        }
        widget_.setPalette(palette);
    }

    QWidget& widget_;
    Tone tone_;
    QPointer<QWidget> parent_;
};

QColor tintColor(SymbolTint tint, QIcon::Mode mode) {
    const QPalette palette = QApplication::palette();
    const QPalette::ColorGroup group =
        mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
    switch (tint) {
        case SymbolTint::text:
            return palette.color(group, QPalette::ButtonText);
        case SymbolTint::muted:
            return withAlpha(palette.color(QPalette::WindowText), 0.7);
        case SymbolTint::secondary:
            return secondaryTextColor(palette);
        case SymbolTint::tertiary:
            return tertiaryTextColor(palette);
        case SymbolTint::accent:
            return mode == QIcon::Disabled ? palette.color(QPalette::Disabled, QPalette::ButtonText)
                                           : accentColor(palette);
    }
    return palette.color(group, QPalette::ButtonText);
}

// Draws the named symbol in the colour of its tint for the mode it is asked for.
class SymbolIconEngine : public QIconEngine {
  public:
    SymbolIconEngine(QString name, SymbolTint tint) : name_(std::move(name)), tint_(tint) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        paintSymbol(*painter, rect, name_, tintColor(tint_, mode));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        paint(&painter, QRect(QPoint(), size), mode, state);
        painter.end();
        return QPixmap::fromImage(image);
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(name_, tint_); }

  private:
    QString name_;
    SymbolTint tint_;
};

}  // namespace

QFont textFont(TextStyle style) {
    QFont font = QApplication::font();
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : 10;
    // The steps of the desktop's own text styles, never below a readable size.
    const auto scaled = [&](double factor) { font.setPointSizeF(std::max(size * factor, 7.0)); };
    switch (style) {
        case TextStyle::body:
            break;
        case TextStyle::headline:
            font.setWeight(QFont::Bold);
            break;
        case TextStyle::subheadline:
            scaled(0.9);
            break;
        case TextStyle::caption:
            scaled(0.85);
            break;
        case TextStyle::caption2:
            scaled(0.8);
            break;
    }
    return font;
}

QFont digitFont(const QFont& font) {
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(font.pointSizeF());
    fixed.setWeight(font.weight());
    return fixed;
}

QFont weighted(QFont font, QFont::Weight weight) {
    font.setWeight(weight);
    return font;
}

QColor withAlpha(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QColor errorTextColor() { return QColor(0xE5, 0x3E, 0x3E); }

QColor accentColor(const QPalette& palette) { return palette.color(QPalette::Highlight); }

QColor secondaryTextColor(const QPalette& palette) {
    return withAlpha(palette.color(QPalette::WindowText), 0.55);
}

QColor tertiaryTextColor(const QPalette& palette) {
    return withAlpha(palette.color(QPalette::WindowText), 0.30);
}

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

bool isDark(const QWidget& widget) { return isDark(widget.palette()); }

QColor materialColor(const QPalette& palette) {
    return withAlpha(palette.color(QPalette::Window), 0.85);
}

void setTextTone(QWidget& widget, TextTone tone) {
    new ToneKeeper(widget, [tone](const QPalette& palette) { return toneColor(palette, tone); });
}

void setTextOpacity(QWidget& widget, double opacity) {
    new ToneKeeper(widget, [opacity](const QPalette& palette) {
        return withAlpha(palette.color(QPalette::WindowText), opacity);
    });
}

QFrame* makeDivider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    setTextTone(*line, TextTone::tertiary);
    return line;
}

QIcon symbolIcon(const QString& name, SymbolTint tint) {
    return QIcon(new SymbolIconEngine(name, tint));
}

void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color) {
    const double side = std::min(rect.width(), rect.height());
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap symbol = Symbols::pixmap(name, side, color, scale);
    if (symbol.isNull()) return;
    const QRectF target(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    painter.drawPixmap(target, symbol, QRectF(symbol.rect()));
}

}  // namespace quillmere
