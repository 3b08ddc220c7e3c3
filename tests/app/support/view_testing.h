#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <functional>
#include <ostream>

#include "tests/app/support/state_harness.h"

// Readable failure messages for Qt's text.
inline void PrintTo(const QString& text, std::ostream* stream) { *stream << text.toStdString(); }

namespace quillmere {

class DoubleSlider;

namespace testing {

// What the widget tests expect of their application: the Fusion style, American English number
// formats, and every delay and animation a hundred times faster.
void setUpWidgetTests();
// A double click as a user makes it: press, release, double click, release (QTest::mouseDClick
// of Qt 6.4 sends the double-click event alone).
void doubleClick(QWidget* widget, QPoint point = {});
// A right click as the desktop delivers it: through the widget's window, which also asks the
// widget for its context menu.
void rightClick(QWidget* widget, QPoint point = {});
// The child of `root` of type T whose `property` reads `text`, or null.
template <class T>
T* childWith(const QObject& root, const QString& text, const char* property = "accessibleName") {
    for (T* found : root.findChildren<T*>()) {
        if (found->property(property).toString() == text) return found;
    }
    return nullptr;
}
// Replaces what `field` holds by typing `text`, then presses Return.
void typeInto(QLineEdit* field, const QString& text);
// Drags the slider's handle to `x` in the slider's coordinates, with the left button.
void dragSlider(DoubleSlider& slider, int x);
// Runs the event loop until `condition` holds; whether it came to hold. The deadline, a minute,
// only keeps a broken build from hanging: a working one passes however long a busy machine keeps
// its threads waiting. (QTRY_ macros report to QtTest, not to GoogleTest.)
bool eventually(const std::function<bool()>& condition);
// Lets the views see the state's announcements (one event-loop turn, and what it posts).
inline void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// A section of the inspector over its own state, shown at a usual size.
template <class Section>
class SectionTest : public ::testing::Test {
  protected:
    SectionTest() {
        section.resize(300, 400);
        section.show();
        settle();
    }
    template <class T = QWidget>
    T* child(const char* name) {
        T* found = section.template findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAbstractButton* button(const QString& text, const char* property = "accessibleName") {
        return childWith<QAbstractButton>(section, text, property);
    }
    void open(const char* name, std::function<void(OpenedPhoto&)> change = {}) {
        OpenedPhoto photo = scriptedPhoto(harness.file(name));
        if (change) change(photo);
        harness.open(photo.id.url, photo);
        settle();
    }
    void edit(const std::function<void(EditParams&)>& change) {
        state.updateEditParams(change);
        settle();
    }

    StateHarness harness;
    AppState& state = *harness.state;
    Section section{state};
};

}  // namespace testing
}  // namespace quillmere
