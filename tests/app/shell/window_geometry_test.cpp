#include "app/shell/window_geometry.h"

#include <memory>
#include <optional>
#include <ostream>

#include "app/state/preferences.h"
#include "shell_fixture.h"

// A rectangle in failure messages: "x,y width×height".
void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.x() << ',' << rect.y() << ' ' << rect.width() << "×" << rect.height();
}

namespace quillmere {
namespace {

// The main window of the next run, over the same preferences, opened after `closing` closed.
std::unique_ptr<MainWindow> reopen(QWidget& closing, AppState& state, Preferences& preferences) {
    closing.close();
    auto next = std::make_unique<MainWindow>(state, preferences);
    next->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(next.get()));
    return next;
}

TEST_F(ShellTest, TheMainWindowOpensWhereItWasLeftAndMaximisedIfItWas) {
    window.setGeometry(1700, 50, 1000, 700);
    std::unique_ptr<MainWindow> next = reopen(window, state, preferences);
    EXPECT_EQ(next->geometry(), QRect(1700, 50, 1000, 700));
    EXPECT_FALSE(next->isMaximized());

    next->showMaximized();
    QTest::qWait(50);
    next = reopen(*next, state, preferences);
    EXPECT_TRUE(next->isMaximized());
    next->showNormal();
    QTest::qWait(50);
    EXPECT_EQ(next->geometry(), QRect(1700, 50, 1000, 700));
}

// The test screens: 1600 × 1000 at the origin, then 1280 × 800 to its right. Without a usable
// kept geometry the window has the default size wherever the desktop puts it.
TEST_F(ShellTest, AMainWindowKeptOffTheScreensOrTooLargeOpensOnTheScreenItOverlapsMost) {
    const struct {
        QVariant kept;
        std::optional<QRect> opened;
    } cases[] = {
        {QRect(5000, 5000, 1000, 700), QRect(600, 300, 1000, 700)},
        {QRect(-3000, 100, 1000, 700), QRect(0, 100, 1000, 700)},
        {QRect(1500, 100, 1000, 700), QRect(1600, 100, 1000, 700)},
        {QRect(1700, -50, 2000, 1200), QRect(1600, 0, 1280, 800)},
        {QStringLiteral("garbage"), std::nullopt},
    };
    window.close();
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        preferences.setValue(WindowGeometry::kGeometry, c.kept);
        const std::unique_ptr<MainWindow> next = reopen(window, state, preferences);
        EXPECT_EQ(next->geometry(), c.opened.value_or(QRect(next->pos(), QSize(1440, 900))));
        next->close();
    }
}

}  // namespace
}  // namespace quillmere
