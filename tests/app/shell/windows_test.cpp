#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

#include "app/shell/appearance_controller.h"
#include "app/shell/appearance_settings_view.h"
#include "app/shell/quillmere_app.h"
#include "app/shell/technology_licenses_view.h"
#include "shell_fixture.h"

namespace quillmere {
namespace {

bool isDark(const QWidget& widget) {
    return widget.palette().color(QPalette::Window).lightness() < 128;
}

// Puts the application's palette back after a test that changes it.
struct PaletteKeeper {
    ~PaletteKeeper() { QApplication::setPalette(start); }
    const QPalette start = QApplication::palette();
};

TEST_F(ShellTest, AnAppearanceChoiceRestylesEveryWindowAtOncePersistsAndSystemRestores) {
    const PaletteKeeper keeper;
    // The desktop's palette as the program finds it at start: its own, not the style's.
    QPalette desktop = keeper.start;
    desktop.setColor(QPalette::Window, QColor(0xc8, 0xd8, 0xe8));
    QApplication::setPalette(desktop);
    // A text that names no choice reads as "System" and stays stored.
    preferences.setValue("appearance", "Dark");
    const AppearanceController controller(preferences);
    AppearanceSettingsView settings(preferences);
    const auto segment = [&](const char* raw) {
        return settings.findChild<QAbstractButton*>(QString("appearance.") + raw);
    };
    settings.show();
    EXPECT_TRUE(segment("system")->isChecked() && menuItem("System")->isChecked());
    EXPECT_EQ(QApplication::palette(), desktop);
    EXPECT_EQ(preferences.value("appearance"), "Dark");

    QTest::mouseClick(segment("dark"), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(isDark(window) && isDark(settings) && menuItem("Dark")->isChecked());
    EXPECT_EQ(Preferences(preferences.fileName()).value("appearance"), "dark");
    menuItem("Light")->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(segment("light")->isChecked());
    EXPECT_FALSE(isDark(window) || isDark(settings));
    QTest::mouseClick(segment("system"), Qt::LeftButton);
    EXPECT_EQ(QApplication::palette(), desktop);
}

TEST(TechnologyLicenses, TheRevealButtonFollowsTheLicencesFolderAndTheTitlesCanBeSelected) {
    const testing::TemporaryFolder folder;
    const std::filesystem::path licenses = folder.path() / "Licenses";
    TechnologyLicensesView view({folder.path() / "missing", licenses});
    auto* reveal = view.findChild<QPushButton*>("showLicenseFiles");
    view.show();
    EXPECT_FALSE(reveal->isVisible());
    view.hide();
    std::filesystem::create_directory(licenses);
    view.show();
    EXPECT_TRUE(reveal->isVisible());
    view.resize(100, 100);
    EXPECT_TRUE(view.width() >= 520 && view.height() >= 460);
    // The group titles are selectable labels, not the boxes' own titles, which are only drawn.
    for (const QGroupBox* group : view.findChildren<QGroupBox*>()) {
        const QLabel* title = group->findChild<QLabel*>();
        EXPECT_TRUE(group->title().isEmpty() && title->text() == group->accessibleName() &&
                    title->textInteractionFlags() & Qt::TextSelectableByMouse);
    }
}

// The program as main() builds it, over the test run's own folders.
TEST(Application, ItsFirstWindowShowsThePreviousProductsChoicesAndOneWindowOfEachKind) {
    const PaletteKeeper keeper;
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The only test that writes the program's own files, which start empty.
    const QString legacyFile = config + "/Starlingmoor/Starlingmoor.conf";
    QSettings(legacyFile, QSettings::IniFormat).setValue("appearance", "dark");
    QSettings(legacyFile, QSettings::IniFormat).setValue("inspector.visible", false);
    QuillmereApp app;
    app.showMainWindow();
    EXPECT_TRUE(isDark(app.mainWindow()));
    EXPECT_FALSE(app.mainWindow().findChild<QWidget*>("sliderPanel")->isVisible());
    for (int request = 0; request < 2; ++request) {
        app.showTechnologyLicenses();
        app.showSettings();
    }
    EXPECT_EQ(app.mainWindow().findChildren<TechnologyLicensesView*>().size(), 1);
    EXPECT_EQ(app.mainWindow().findChildren<AppearanceSettingsView*>().size(), 1);
    // Run from its build tree, the program takes the checkout's licence notices and icon.
    const auto* licenses = app.mainWindow().findChild<TechnologyLicensesView*>();
    EXPECT_EQ(licenses->licensesURL(),
              (std::filesystem::path(QUILLMERE_TEST_DATA_DIR) / "../../resources/licenses")
                  .lexically_normal());
    EXPECT_TRUE(licenses->findChild<QPushButton*>("showLicenseFiles")->isVisible());
    EXPECT_FALSE(QApplication::windowIcon().pixmap(32).isNull());
}

}  // namespace
}  // namespace quillmere
