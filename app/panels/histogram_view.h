#pragma once

#include <QWidget>
#include <optional>

#include "core/render/display/histogram_data.h"

namespace quillmere {

// The red, green and blue histograms of the current preview, drawn as three translucent areas
// with their outlines on a rounded background. In a dark window overlapping channels add up
// towards white, in a light one they multiply towards black. Without data only the caption
// "Histogram" shows.
class HistogramView : public QWidget {
    Q_OBJECT

  public:
    // Inset of the graph from the background's edges.
    static constexpr int inset = 4;

    explicit HistogramView(int barHeight = 90, QWidget* parent = nullptr);

    void setData(const std::optional<HistogramData>& data);
    const std::optional<HistogramData>& data() const { return data_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::optional<HistogramData> data_;
};

}  // namespace quillmere
