#pragma once

#include <QCoreApplication>
#include <QString>
#include <QWidget>

namespace quillmere {

class DoubleSlider;

namespace testing {

// A double click as a user makes it: press, release, double click, release (QTest::mouseDClick
// of Qt 6.4 sends the double-click event alone).
void doubleClick(QWidget* widget, QPoint point = {});
// The slider under `root` whose accessible name is `name`; fails the test when there is none.
DoubleSlider* sliderNamed(const QWidget& root, const QString& name);
// Drags the slider's handle to `x` in the slider's coordinates, with the left button.
void dragSlider(DoubleSlider& slider, int x);
// Lets the views see the state's announcements (one event-loop turn, and what it posts).
inline void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

}  // namespace testing
}  // namespace quillmere
