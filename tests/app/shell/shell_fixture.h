#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

#include "app/shell/editor_toolbar.h"
#include "app/shell/main_window.h"
#include "app/shell/menu_commands.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {

// The main window with the program's menus over a state of test collaborators, shown and active.
class ShellTest : public ::testing::Test {
  protected:
    ShellTest() {
        installMenuCommands(*window.menuBar(), state, preferences, {[] {}, [] {}});
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // The menu item or toolbar action titled `text`.
    QAction* item(const QString& text, const QWidget& in) const {
        for (QAction* action : in.findChildren<QAction*>()) {
            if (action->text() == text) return action;
        }
        ADD_FAILURE() << "no item " << text.toStdString();
        return nullptr;
    }
    QAction* menuItem(const QString& text) const { return item(text, *window.menuBar()); }
    QAction* tool(const QString& text) { return item(text, window.toolbar()); }
    QToolButton* button(const QString& text) {
        return qobject_cast<QToolButton*>(window.toolbar().widgetForAction(tool(text)));
    }
    // Lets views take over what the state announced, and posted work run.
    void settle() {
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::processEvents();
            harness.executor->runPending();
        }
    }
    void keyClick(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(target, key, modifiers);
        settle();
    }
    // "a.dng" opened with `params` and selected, beside "b.dng", never opened.
    void showTwoPhotos(const EditParams& params = {}) {
        harness.request({harness.file("a.dng"), harness.file("b.dng")});
        harness.answerOpen();
        state.setEditParams(params);
        settle();
    }
    // An export of the open photo that waits for the engine's answer.
    void startExport() {
        state.exportPhotos(ExportScope::current, ExportOptions{}, std::nullopt,
                           [](BatchExportResult) {});
        settle();
        ASSERT_TRUE(state.isExporting());
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    Preferences& preferences = *harness.preferences;
    MainWindow window{state, preferences};
};

}  // namespace quillmere
