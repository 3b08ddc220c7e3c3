#include "app/panels/tone_curve_section.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/kit/number_format.h"
#include "app/kit/panel_drag.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {

// The curve with its grid and points. A press begins a drag at once (a plain click moves or
// inserts a point too); a double click only deletes, the click before it having already acted.
class ToneCurveCanvas : public QWidget {
  public:
    explicit ToneCurveCanvas(ToneCurveSection& section) : QWidget(&section), section_(section) {
        setFixedHeight(170);
        setToolTip(
            "Click and drag to add or move a point. Double-click an interior point to remove it.");
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) section_.press(event->position());
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (event->buttons() & Qt::LeftButton) section_.drag(event->position());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) section_.release();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) section_.deleteAt(event->position());
    }
    void paintEvent(QPaintEvent*) override;

  private:
    ToneCurveSection& section_;
};

void ToneCurveCanvas::paintEvent(QPaintEvent*) {
    const QSizeF size = this->size();
    const double w = size.width(), h = size.height();
    const bool dark = isDark(*this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath background;
    background.addRoundedRect(QRectF(QPointF(), size), 6, 6);
    painter.fillPath(background, palette().color(QPalette::Base));

    const auto faint = [&](double darkAlpha, double lightAlpha) {
        QColor color = dark ? Qt::white : Qt::black;
        color.setAlphaF(static_cast<float>(dark ? darkAlpha : lightAlpha));
        return QPen(color, 0.5);
    };
    QPainterPath grid;
    for (double third : {1.0 / 3, 2.0 / 3}) {
        grid.moveTo(w * third, 0);
        grid.lineTo(w * third, h);
        grid.moveTo(0, h * third);
        grid.lineTo(w, h * third);
    }
    painter.strokePath(grid, faint(0.08, 0.09));
    painter.setPen(faint(0.12, 0.16));
    painter.drawLine(QPointF(0, h), QPointF(w, 0));

    const ToneCurveSection::Points points = section_.currentPoints();
    const QColor color = ToneCurveSection::color(section_.channel(), dark);
    const MonotoneCurveEvaluator curve(points);
    QPainterPath line;
    for (double x = 0; x <= w; x += 2) {
        const double input = w > 0 ? std::clamp(x / w * 255, 0.0, 255.0) : 0;
        const QPointF sample(x, h - h * curve.value(input) / 255);
        if (x == 0) {
            line.moveTo(sample);
        } else {
            line.lineTo(sample);
        }
    }
    painter.strokePath(line, QPen(color, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    for (std::size_t index = 0; index < points.size(); ++index) {
        const double radius = section_.activeIndex() == index ? 4.5 : 3;
        painter.drawEllipse(ToneCurveSection::viewPoint(points[index], size), radius, radius);
    }
}

QString ToneCurveSection::label(Channel channel) {
    switch (channel) {
        case Channel::rgb:
            return "RGB";
        case Channel::red:
            return "R";
        case Channel::green:
            return "G";
        case Channel::blue:
            return "B";
    }
    return "RGB";
}

QColor ToneCurveSection::color(Channel channel, bool dark) {
    switch (channel) {
        case Channel::rgb:
            return dark ? QColor(Qt::white) : QColor::fromRgbF(0, 0, 0, 0.82f);
        case Channel::red:
            return QColor::fromRgbF(0.95f, 0.35f, 0.35f);
        case Channel::green:
            return QColor::fromRgbF(0.35f, 0.85f, 0.40f);
        case Channel::blue:
            return QColor::fromRgbF(0.40f, 0.60f, 1.00f);
    }
    return Qt::black;
}

std::vector<CurvePoint>& ToneCurveSection::points(ToneCurve& curve, Channel channel) {
    switch (channel) {
        case Channel::red:
            return curve.red;
        case Channel::green:
            return curve.green;
        case Channel::blue:
            return curve.blue;
        default:
            return curve.rgb;
    }
}

ToneCurveSection::ToneCurveSection(AppState& state, QWidget* parent)
    : CollapsibleGroup("Tone Curve", parent),
      state_(state),
      reset_(addHeaderButton("arrow.uturn.backward", SymbolTint::muted)),
      picker_(new QButtonGroup(this)),
      canvas_(new ToneCurveCanvas(*this)),
      readout_(new QLabel(this)),
      gesture_(state) {
    setDragText(panelDragText("toneCurve"));
    reset_->setAccessibleName("Reset tone curve");
    connect(reset_, &QToolButton::clicked, this, &ToneCurveSection::resetChannel);

    auto* content = new QWidget;
    auto* pickerRow = new QHBoxLayout;
    pickerRow->setSpacing(0);
    for (Channel channel : allChannels) {
        auto* segment = new QToolButton(content);
        segment->setText(label(channel));
        segment->setCheckable(true);
        segment->setChecked(channel == channel_);
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        picker_->addButton(segment, static_cast<int>(channel));
        pickerRow->addWidget(segment);
    }
    connect(picker_, &QButtonGroup::idClicked, this,
            [this](int channel) { setChannel(static_cast<Channel>(channel)); });
    canvas_->setParent(content);
    QFont readoutFont = digitFont(textFont(TextStyle::caption));
    readout_->setFont(readoutFont);
    readout_->setFixedHeight(14);
    readout_->setParent(content);
    setTextOpacity(*readout_, 0.7);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addLayout(pickerRow);
    column->addWidget(canvas_);
    column->addWidget(readout_);
    setContent(content);

    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced({AppState::Field::editParams}, [this] { refresh(); });
    // Whoever changed the curve, the layer shows it and stale markers go.
    watcher->onChange(
        {AppState::Field::editParams}, [this] { return state_.editParams().toneCurve; },
        [this](const ToneCurve&, const ToneCurve&) {
            state_.enableEditLayer(EditLayer::toneCurve);
            state_.clearAppliedPreset();
            state_.clearAppliedCheckpoint();
        });
    syncChannelColors();
    refresh();
}

QWidget* ToneCurveSection::canvas() const { return canvas_; }

void ToneCurveSection::setChannel(Channel channel) {
    channel_ = channel;
    picker_->button(static_cast<int>(channel))->setChecked(true);
    refresh();
}

ToneCurveSection::Points ToneCurveSection::currentPoints() const {
    ToneCurve curve = state_.editParams().toneCurve;
    return points(curve, channel_);
}

void ToneCurveSection::setCurrentPoints(Points list) {
    state_.updateEditParams(
        [&](EditParams& params) { points(params.toneCurve, channel_) = std::move(list); });
}

QString ToneCurveSection::readoutText() const {
    if (!activeIndex_) return "Click + drag to add a point";
    const Points list = currentPoints();
    if (*activeIndex_ >= list.size()) return " ";
    const CurvePoint& point = list[*activeIndex_];
    return "in " + roundedInteger(point.x) + QString::fromUtf8(" \u2192 out ") +
           roundedInteger(point.y);
}

void ToneCurveSection::press(QPointF location) {
    dragStart_ = location;
    gesture_.begin();
    drag(location);
}

void ToneCurveSection::drag(QPointF location) {
    if (!gesture_.mayWrite()) {
        // Another photo is open: the point the drag held is let go.
        activeIndex_.reset();
        refresh();
        return;
    }
    const QSizeF size = canvas_->size();
    if (!activeIndex_) {
        Edit start = beginDrag(currentPoints(), dragStart_, size);
        setCurrentPoints(std::move(start.points));
        activeIndex_ = start.index;
    }
    if (activeIndex_) setCurrentPoints(movePoint(currentPoints(), *activeIndex_, location, size));
    refresh();
}

void ToneCurveSection::release() {
    gesture_.finish();
    activeIndex_.reset();
    refresh();
}

void ToneCurveSection::deleteAt(QPointF location) {
    Points list = currentPoints();
    const std::optional<std::size_t> hit = nearestPoint(list, location, canvas_->size());
    if (!hit) return;
    if (list.size() >= 3 && *hit != 0 && *hit != list.size() - 1) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(*hit));
    }
    setCurrentPoints(std::move(list));
    activeIndex_.reset();
    refresh();
}

void ToneCurveSection::resetChannel() {
    setCurrentPoints(ToneCurve::identityPoints());
    state_.enableEditLayer(EditLayer::toneCurve);
}

void ToneCurveSection::changeEvent(QEvent* event) {
    CollapsibleGroup::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) syncChannelColors();
}

void ToneCurveSection::syncChannelColors() {
    const bool dark = isDark(*this);
    for (Channel channel : allChannels) {
        QAbstractButton* segment = picker_->button(static_cast<int>(channel));
        QPalette palette = segment->palette();
        palette.setColor(QPalette::ButtonText, color(channel, dark));
        segment->setPalette(palette);
    }
    canvas_->update();
}

void ToneCurveSection::refresh() {
    reset_->setToolTip("Reset the " + label(channel_) + " channel curve");
    readout_->setText(readoutText());
    canvas_->update();
}

}  // namespace quillmere
