#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>

#include "app/shell/error_alert.h"
#include "shell_fixture.h"

namespace quillmere {
namespace {

// The error alert of a save that failed on 220 photos, read with the keys alone.
class WindowAlertKeysTest : public ShellTest {
  protected:
    QMessageBox* showError(int lines) {
        QStringList text;
        for (int line = 1; line <= lines; ++line) {
            text << QString("IMG_%1.jpg: The file is damaged.").arg(line, 4, 10, QChar('0'));
        }
        state.setLastError(text.join('\n').toStdString());
        settle();
        QMessageBox* box = window.errorAlert().box();
        EXPECT_TRUE(box && QTest::qWaitForWindowActive(box));
        return box;
    }
    // A key pressed as the keyboard presses it: to whatever has the focus.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    static QScrollArea* textOf(QMessageBox* box) { return box->findChild<QScrollArea*>(); }
};

// The keys move the text as they move a read-only text view, from the text and, for those no
// button takes, from the buttons; Tab goes from the buttons to the text and back, and Return
// still answers the box.
TEST_F(WindowAlertKeysTest, ALongTextScrollsWithTheKeysAndTabReachesItAndTheButton) {
    QMessageBox* box = showError(220);
    ASSERT_TRUE(box);
    QScrollArea* text = textOf(box);
    QScrollBar* bar = text->verticalScrollBar();
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    ASSERT_TRUE(ok->hasFocus()) << "the alert opens on OK";
    ASSERT_GT(bar->maximum(), bar->pageStep());
    const int page = bar->pageStep(), line = bar->singleStep(), end = bar->maximum();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QWidget* focus;
        int position;
    } steps[] = {
        {Qt::Key_PageDown, Qt::NoModifier, ok, page},  // from OK
        {Qt::Key_End, Qt::NoModifier, ok, end},
        {Qt::Key_PageUp, Qt::NoModifier, ok, end - page},
        {Qt::Key_Home, Qt::NoModifier, ok, 0},
        {Qt::Key_Tab, Qt::NoModifier, text, 0},  // to the text
        {Qt::Key_Down, Qt::NoModifier, text, line},
        {Qt::Key_Down, Qt::NoModifier, text, 2 * line},
        {Qt::Key_Up, Qt::NoModifier, text, line},
        {Qt::Key_PageDown, Qt::NoModifier, text, line + page},
        {Qt::Key_End, Qt::ControlModifier, text, end},
        {Qt::Key_Home, Qt::ControlModifier, text, 0},
        {Qt::Key_End, Qt::NoModifier, text, end},
        {Qt::Key_Tab, Qt::NoModifier, ok, end},  // back to OK
        {Qt::Key_Backtab, Qt::ShiftModifier, text, end},
    };
    for (const auto& step : steps) {
        press(step.key, step.modifiers);
        SCOPED_TRACE(QKeySequence(step.key | step.modifiers).toString().toStdString());
        EXPECT_EQ(QApplication::focusWidget(), step.focus);
        EXPECT_EQ(bar->value(), step.position);
    }
    // At the end the last line shows whole.
    const QLabel* label = text->widget()->findChild<QLabel*>();
    const QRect shown = label->visibleRegion().boundingRect();
    EXPECT_EQ(shown.bottom(), label->rect().bottom());

    press(Qt::Key_Return);
    EXPECT_FALSE(state.lastError());
}

// A click on the text gives it the keys without the style's focus frame, which shows when the keys
// brought the focus there; a text that fits, also one that replaces a longer text, keeps out of
// the Tab order, which stays on the button.
TEST_F(WindowAlertKeysTest, TheTextShowsItsFocusWhenTheKeysBringItThereAndOnlyWhenItScrolls) {
    QMessageBox* box = showError(220);
    ASSERT_TRUE(box);
    QScrollArea* text = textOf(box);
    const QImage unfocused = text->grab().toImage();
    const auto frameShown = [&] {
        // The focus frame lies in the room left around the text, at its left edge.
        const QImage now = text->grab().toImage();
        int changed = 0;
        for (int y = 0; y < now.height(); ++y) {
            for (int x = 0; x < 2; ++x) changed += now.pixel(x, y) != unfocused.pixel(x, y);
        }
        return changed > now.height() / 2;
    };
    QTest::mouseClick(text->viewport(), Qt::LeftButton);
    ASSERT_TRUE(text->isAncestorOf(QApplication::focusWidget()));
    EXPECT_FALSE(frameShown()) << "after a click";
    press(Qt::Key_PageDown);
    EXPECT_EQ(text->verticalScrollBar()->value(), text->verticalScrollBar()->pageStep());
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    ASSERT_TRUE(text->hasFocus());
    EXPECT_TRUE(frameShown()) << "after Tab";

    // A short text in its place leaves the Tab order to the button.
    press(Qt::Key_Tab);
    ASSERT_EQ(showError(2), box);
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), box->button(QMessageBox::Ok));
}

}  // namespace
}  // namespace quillmere
