#include "tests/app/panels/panel_testing.h"

#include <gtest/gtest.h>

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include "app/panels/kit/double_slider.h"

namespace quillmere::testing {
namespace {

// Opens the slider's style options, which initStyleOption keeps protected.
class SliderProbe : public DoubleSlider {
  public:
    static QRect handle(DoubleSlider& slider) {
        QStyleOptionSlider option;
        static_cast<SliderProbe&>(slider).initStyleOption(&option);
        return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                              &slider);
    }
};

}  // namespace

void doubleClick(QWidget* widget, QPoint point) {
    if (point.isNull()) point = widget->rect().center();
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, point);
}

DoubleSlider* sliderNamed(const QWidget& root, const QString& name) {
    for (DoubleSlider* slider : root.findChildren<DoubleSlider*>()) {
        if (slider->accessibleName() == name) return slider;
    }
    ADD_FAILURE() << "no slider named " << name.toStdString();
    return nullptr;
}

void dragSlider(DoubleSlider& slider, int x) {
    const QPoint start = SliderProbe::handle(slider).center();
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(&slider, QPoint((start.x() + x) / 2, start.y()));
    QTest::mouseMove(&slider, QPoint(x, start.y()));
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(x, start.y()));
}

}  // namespace quillmere::testing
