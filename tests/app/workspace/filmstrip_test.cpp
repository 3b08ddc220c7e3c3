#include "app/workspace/filmstrip_view.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <fstream>
#include <utility>

#include "app/style/style.h"
#include "app/workspace/filmstrip_delegate.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

// The first and last rows of `image` within `area` (in the image's own pixels) that hold a pixel
// unlike `background`.
std::pair<int, int> inkRows(const QImage& image, QRect area, QColor background) {
    std::pair rows(area.bottom() + 1, area.top() - 1);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const int lightness = image.pixelColor(x, y).lightness();
            if (std::abs(lightness - background.lightness()) < 24) continue;
            rows = {std::min(rows.first, y), y};
            break;
        }
    }
    return rows;
}

class FilmstripTest : public testing::StateTest {
  protected:
    FilmstripTest() {
        strip.resize(900, 160);
        strip.show();
    }
    // Lets the strip see the state's announcements, answering every open the state starts.
    void settle() {
        for (int turn = 0; turn < 3; ++turn) {
            harness.executor->runPending();
            while (!harness.engine->opens.empty()) harness.answerOpen();
            QCoreApplication::processEvents();
        }
    }
    QListView& list() { return *strip.findChild<QListView*>("filmstripList"); }
    // Clicks item `row` at `point` of its thumbnail.
    void click(int row, QPoint point, Qt::KeyboardModifiers modifiers = {}) {
        const QRect item = list().visualRect(list().model()->index(row, 0));
        QTest::mouseClick(list().viewport(), Qt::LeftButton, modifiers, item.topLeft() + point);
        settle();
    }
    void clickThumbnail(int row, Qt::KeyboardModifiers modifiers = {}) {
        click(row, FilmstripDelegate::thumbnailRect().center(), modifiers);
    }
    QString text(const char* name) { return strip.findChild<QLabel*>(name)->text(); }
    bool shown(const char* name) { return strip.findChild<QWidget*>(name)->isVisible(); }
    bool enabled(const char* name) { return strip.findChild<QToolButton*>(name)->isEnabled(); }
    // The photos a, b, c in the session, a open and selected.
    void openThree() {
        harness.request({a, b, c});
        settle();
    }

    FilmstripView strip{state};
    const std::filesystem::path a = harness.file("a.dng"), b = harness.file("b.dng"),
                                c = harness.file("c.dng");
};

TEST_F(FilmstripTest, CountsHintAndSyncFollowTheSelection) {
    harness.open(a);
    settle();
    EXPECT_EQ(text("filmstripCount"), "1 photo · 1 selected");
    EXPECT_FALSE(enabled("syncSelectedButton")) << "only the open photo is selected";
    click(0, FilmstripDelegate::checkboxRect().center());
    EXPECT_EQ(text("filmstripCount"), "1 photo · 0 selected");

    openThree();
    EXPECT_FALSE(shown("selectionHint"));
    clickThumbnail(2, Qt::ControlModifier);
    EXPECT_EQ(text("filmstripCount"), "3 photos · 2 selected");
    EXPECT_TRUE(shown("selectionHint"));
    EXPECT_TRUE(enabled("syncSelectedButton"));
}

TEST_F(FilmstripTest, OnlyCtrlExtendsTheSelectionAndABusySessionTakesNoClicks) {
    openThree();
    clickThumbnail(1, Qt::ShiftModifier);
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{b});
    EXPECT_EQ(state.photoURL(), b);
    clickThumbnail(0, Qt::ControlModifier);
    EXPECT_EQ(state.selectedPhotoIDs(), (std::set{a, b}));

    // While b opens, the state itself would accept a click.
    harness.request({b});
    QCoreApplication::processEvents();
    ASSERT_TRUE(state.isOpening());
    EXPECT_FALSE(enabled("syncSelectedButton")) << "a is selected besides b";
    EXPECT_FALSE(enabled("saveAllEditsButton"));
    EXPECT_FALSE(strip.findChild<QAction*>("selectAllAction")->isEnabled());
    const QRect item = list().visualRect(list().model()->index(2, 0));
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{b});
}

TEST_F(FilmstripTest, SavedMessageStaysUntilTheEditChangesAndAFailedSaveReportsItsError) {
    openThree();
    QToolButton& save = *strip.findChild<QToolButton*>("saveAllEditsButton");
    save.click();
    settle();
    EXPECT_TRUE(shown("savedMessage"));
    EXPECT_EQ(text("savedMessage"), "All edits saved");
    state.updateEditParams([](EditParams& edit) { edit.exposure = 1; });
    settle();
    EXPECT_FALSE(shown("savedMessage"));

    save.click();
    settle();
    // The edits folder cannot be written any more.
    const std::filesystem::path edits = state.photoEditStore().location(a).parent_path();
    std::filesystem::remove_all(edits);
    std::ofstream(edits) << "not a folder";
    save.click();
    settle();
    EXPECT_NE(state.lastError().value_or("").find("a.dng: "), std::string::npos);
    EXPECT_TRUE(shown("savedMessage")) << "kept after a failed save";
}

TEST_F(FilmstripTest, TheEditedMarkAndTheEyeMarkShowOnTheirPhotosOnly) {
    openThree();
    QSignalSpy resets(list().model(), &QAbstractItemModel::modelReset);
    state.updateEditParams([](EditParams& edit) { edit.exposure = 1; });
    settle();
    EXPECT_EQ(resets.count(), 0) << "an edited mark changes one row";
    const QImage image = list().viewport()->grab().toImage();
    const auto probe = [&](int row, QRect mark) {
        const QPoint point = list().visualRect(list().model()->index(row, 0)).topLeft() +
                             mark.center() + QPoint(0, 1);
        return image.pixel(point * image.devicePixelRatio());
    };
    for (QRect mark :
         {FilmstripDelegate::editedMarkRect(), FilmstripDelegate::previewedMarkRect()}) {
        EXPECT_NE(probe(0, mark), probe(1, mark));
        EXPECT_EQ(probe(1, mark), probe(2, mark));
    }
}

// A caption shows the file's name as it is: every mark of it, the underscore too, which some fonts
// hang lower than the descenders of "p" and "g" ("Canon_G9.dng" read "Canon G9.dng").
TEST_F(FilmstripTest, ACaptionShowsTheWholeFileNameUnderscoresToo) {
    const QString name = "Canon_G9_pg.dng";
    harness.open(harness.file(name.toStdString()));
    settle();
    const QImage strip = list().viewport()->grab().toImage();
    const double ratio = strip.devicePixelRatio();
    const QRect item = list().visualRect(list().model()->index(0, 0));
    // Everything under the thumbnail, down to the strip's edge.
    const QRect under(QPoint(item.left(), item.top() + FilmstripDelegate::thumbnailHeight + 1),
                      QPoint(item.right(), list().viewport()->height() - 1));
    const QRect pixels(under.topLeft() * ratio, under.size() * ratio);
    const QColor background = strip.pixelColor(pixels.topLeft());

    // The same name, drawn free of any clip in the caption's font and colour.
    QImage free(QSize(200, 60) * ratio, QImage::Format_ARGB32_Premultiplied);
    free.setDevicePixelRatio(ratio);
    free.fill(background);
    QPainter painter(&free);
    painter.setFont(textFont(TextStyle::caption2));
    painter.setPen(list().palette().color(QPalette::WindowText));
    painter.drawText(QPoint(10, 30), name);
    painter.end();

    const auto [top, bottom] = inkRows(strip, pixels, background);
    const auto [freeTop, freeBottom] = inkRows(free, free.rect(), background);
    EXPECT_EQ(bottom - top, freeBottom - freeTop)
        << "the caption's marks span rows " << top << " to " << bottom << "; the name's own, "
        << freeTop << " to " << freeBottom;
}

TEST_F(FilmstripTest, OpeningAFarPhotoGlidesItToTheMiddle) {
    std::vector<std::filesystem::path> photos;
    for (int index = 0; index < 20; ++index) {
        photos.push_back(harness.file(std::to_string(index) + ".dng"));
    }
    harness.request(photos);
    settle();
    QScrollBar* bar = list().horizontalScrollBar();
    std::vector<int> positions{bar->value()};
    QObject::connect(bar, &QScrollBar::valueChanged,
                     [&](int value) { positions.push_back(value); });
    state.selectPhoto(photos[12], false);
    settle();
    EXPECT_TRUE(testing::eventually([&] {
        const QRect item = list().visualRect(list().model()->index(12, 0));
        return std::abs(item.center().x() - list().viewport()->width() / 2) <= item.width() / 2;
    }));
    // On its way, not in one jump: from the start, through a position between, to the end.
    EXPECT_GT(positions.size(), 2u);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
}

TEST_F(FilmstripTest, EachPhotoOffersAssistiveTechnologyItsThumbnailAndItsCheckbox) {
    openThree();
    QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(&list());
    ASSERT_EQ(strip->childCount(), 6);
    QAccessibleInterface* checkbox = strip->child(1);
    EXPECT_EQ(strip->child(0)->text(QAccessible::Name), "Open a.dng");
    EXPECT_EQ(checkbox->text(QAccessible::Name), "Select a.dng");
    EXPECT_EQ(checkbox->role(), QAccessible::CheckBox);
    EXPECT_EQ(checkbox->text(QAccessible::Value), "Selected");
    EXPECT_TRUE(checkbox->state().checkable && checkbox->state().checked);
    // Found where it is drawn, and acting as a click on it does.
    const QPoint drawn = strip->child(3)->rect().center();
    QAccessibleInterface* found = strip->childAt(drawn.x(), drawn.y());
    found->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    settle();
    EXPECT_EQ(state.selectedPhotoIDs(), (std::set{a, b}));
    EXPECT_EQ(strip->child(3)->text(QAccessible::Value), "Selected");
}

}  // namespace
}  // namespace quillmere
