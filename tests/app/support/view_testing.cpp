#include "tests/app/support/view_testing.h"

#include <QApplication>
#include <QLocale>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QTest>

#include "app/kit/double_slider.h"
#include "app/kit/ui_timing.h"

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

void setUpWidgetTests() {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    UiTiming::setScale(0.01);
}

void doubleClick(QWidget* widget, QPoint point) {
    if (point.isNull()) point = widget->rect().center();
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, point);
}

void typeInto(QLineEdit* field, const QString& text) {
    // As a click gives it: a number field takes no other focus.
    field->setFocus(Qt::MouseFocusReason);
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
    settle();
}

void rightClick(QWidget* widget, QPoint point) {
    if (point.isNull()) point = widget->rect().center();
    QWidget* window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      widget->mapTo(window, point));
}

bool eventually(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 60'000);
}

void dragSlider(DoubleSlider& slider, int x) {
    const QPoint start = SliderProbe::handle(slider).center();
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(&slider, QPoint((start.x() + x) / 2, start.y()));
    QTest::mouseMove(&slider, QPoint(x, start.y()));
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(x, start.y()));
}

}  // namespace quillmere::testing
