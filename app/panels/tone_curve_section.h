#pragma once

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "app/kit/collapsible_group.h"
#include "app/kit/photo_gesture.h"
#include "app/state/app_state.h"
#include "core/edit/tone_curve.h"

class QButtonGroup;
class QLabel;
class QToolButton;

namespace quillmere {

class ToneCurveCanvas;

// The "Tone Curve" panel: pick the composite curve or one colour channel, click and drag on the
// canvas to add and move points, double-click an interior point to remove it, and reset the
// channel. The canvas draws the same monotone cubic the renderer evaluates. Every edit writes the
// chosen channel's list of the open photo's edit, and only that list.
//
// Whatever changes the edit's curve while the panel exists (this panel, a preset, a checkpoint, a
// paste), the tone-curve layer is shown again and the markers that no longer hold are cleared.
class ToneCurveSection : public CollapsibleGroup {
    Q_OBJECT

  public:
    enum class Channel { rgb, red, green, blue };
    static constexpr std::array<Channel, 4> allChannels{Channel::rgb, Channel::red, Channel::green,
                                                        Channel::blue};
    // "RGB", "R", "G", "B".
    static QString label(Channel channel);
    // White on a dark background and black at 82 % on a light one for RGB; fixed colours for the
    // three channels.
    static QColor color(Channel channel, bool dark);
    static std::vector<CurvePoint>& points(ToneCurve& curve, Channel channel);

    // ---- The editing rules, on a list and a canvas of the given size (curve space 0...255 on
    // both axes fills the canvas, y up).
    using Points = std::vector<CurvePoint>;
    struct Edit {
        Points points;
        std::optional<std::size_t> index;
    };
    static QPointF viewPoint(const CurvePoint& point, QSizeF size);
    // A view location in curve space, clamped to 0...255; 0 on a side without extent.
    static CurvePoint curvePoint(QPointF location, QSizeF size);
    // The point within 10 view points of `location` (the nearest, the lower index on a tie).
    static std::optional<std::size_t> nearestPoint(const Points& points, QPointF location,
                                                   QSizeF size);
    // What a press at `location` grabs: a point within reach, else the point whose x lies within
    // 2 curve units, else a new point under the pointer (refused beyond 15 points).
    static Edit beginDrag(const Points& points, QPointF location, QSizeF size);
    // (x, y) inserted before the first point of greater x, never before the first point or after
    // the last one; into an empty list at its start.
    static Edit insertionResult(const Points& points, double x, double y);
    // The point moved to `location`: the ends only in y; an interior point stays 2 units inside
    // its neighbours, or at their midpoint when they are less than 4 apart.
    static Points movePoint(const Points& points, std::size_t index, QPointF location, QSizeF size);

    ToneCurveSection(AppState& state, QWidget* parent = nullptr);

    Channel channel() const { return channel_; }
    void setChannel(Channel channel);
    // The selected channel's list of the edit; writing it replaces that list alone.
    Points currentPoints() const;
    void setCurrentPoints(Points points);
    // The point being dragged, by index into the current list.
    std::optional<std::size_t> activeIndex() const { return activeIndex_; }
    // "Click + drag to add a point", or "in 64 → out 80" during a drag.
    QString readoutText() const;
    // The 170-point-high drawing that takes the clicks and drags.
    QWidget* canvas() const;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    friend class ToneCurveCanvas;

    void press(QPointF location);
    void drag(QPointF location);
    void release();
    void deleteAt(QPointF location);
    void resetChannel();
    void syncChannelColors();
    void refresh();

    AppState& state_;
    Channel channel_ = Channel::rgb;
    std::optional<std::size_t> activeIndex_;
    // Where the current drag began; a refused start is tried again from there.
    QPointF dragStart_;
    QToolButton* reset_;
    QButtonGroup* picker_;
    ToneCurveCanvas* canvas_;
    QLabel* readout_;
    // The drag belongs to the photo it began on.
    PhotoGesture gesture_;
};

}  // namespace quillmere
