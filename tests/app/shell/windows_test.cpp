#include <QDesktopServices>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

#include "app/shell/appearance_controller.h"
#include "app/shell/appearance_settings_view.h"
#include "app/shell/quillmere_app.h"
#include "app/shell/technology_licenses_view.h"
#include "core/common/build_config.h"
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

// Takes the URLs the program asks the desktop to open.
class URLCatcher : public QObject {
    Q_OBJECT

  public:
    URLCatcher() { QDesktopServices::setUrlHandler("file", this, "open"); }
    ~URLCatcher() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> opened;

  public slots:
    void open(const QUrl& url) { opened.append(url); }
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

TEST(TechnologyLicenses, TheRevealButtonIsThereOnlyWithTheLicencesFolder) {
    const testing::TemporaryFolder folder;
    const std::filesystem::path licenses = folder.path() / "Licenses";
    TechnologyLicensesView view({folder.path() / "missing", licenses});
    auto* reveal = view.findChild<QPushButton*>("showLicenseFiles");
    view.show();
    EXPECT_FALSE(reveal->isVisible());
    view.hide();
    std::filesystem::create_directory(licenses);
    view.show();
    ASSERT_TRUE(reveal->isVisible());
    // Without a file manager on the session bus, the folder holding it opens.
    URLCatcher catcher;
    QTest::mouseClick(reveal, Qt::LeftButton);
    EXPECT_EQ(catcher.opened,
              QList{QUrl::fromLocalFile(QString::fromStdString(folder.path().string()))});

    view.resize(100, 100);
    EXPECT_TRUE(view.width() >= 520 && view.height() >= 460);
}

TEST(TechnologyLicenses, ACreditLinksOnlyToAURLAndEveryNamedLibraryShipsItsNotice) {
    for (const QString& address : {"https://www.libraw.org/", "", "not an address"}) {
        std::unique_ptr<QGroupBox> group(
            TechnologyLicensesView::technologyGroup("Title", "Text", "Link", address));
        QLabel* link = group->findChild<QLabel*>("link");
        EXPECT_EQ(link != nullptr, address.startsWith("https")) << address.toStdString();
        if (link) EXPECT_TRUE(link->text().contains("href=\"" + address + "\""));
    }
    const std::filesystem::path shipped =
        std::filesystem::path(build_config::kSourceResourcesDir) / "licenses";
    for (const BundledComponent& component : bundledComponents()) {
        QFile notice(QString::fromStdString(shipped / component.licenseFile.toStdString()));
        ASSERT_TRUE(notice.open(QIODevice::ReadOnly)) << component.licenseFile.toStdString();
        EXPECT_TRUE(notice.readAll().contains("Copyright"));
    }
}

// The program as main() builds it, over the test run's own folders.
TEST(Application, StartsWithEveryPaneOrThePreviousProductsChoicesAndOneWindowOfEachKind) {
    const PaletteKeeper keeper;
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const auto removeSettings = [&] {
        QFile::remove(config + "/Quillmere/Quillmere.conf");
        QFile::remove(config + "/Starlingmoor/Starlingmoor.conf");
    };
    const auto shows = [](QuillmereApp& app, const char* pane) {
        const auto* widget = app.mainWindow().findChild<QWidget*>(pane);
        return widget && widget->isVisible();
    };
    removeSettings();
    {
        QuillmereApp app;
        app.showMainWindow();
        EXPECT_TRUE(shows(app, "librarySidebar") && shows(app, "sliderPanel"));
        EXPECT_EQ(QApplication::palette(), keeper.start);
    }
    removeSettings();
    {
        QSettings legacy(config + "/Starlingmoor/Starlingmoor.conf", QSettings::IniFormat);
        legacy.setValue("appearance", "dark");
        legacy.setValue("inspector.visible", false);
    }
    QuillmereApp app;
    app.showMainWindow();
    EXPECT_TRUE(isDark(app.mainWindow()));
    EXPECT_TRUE(shows(app, "librarySidebar") && !shows(app, "sliderPanel"));
    for (int request = 0; request < 2; ++request) {
        app.showTechnologyLicenses();
        app.showSettings();
    }
    int shown = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const bool single = qobject_cast<TechnologyLicensesView*>(window) ||
                            qobject_cast<AppearanceSettingsView*>(window);
        shown += single && window->isVisible();
    }
    EXPECT_EQ(shown, 2);
    removeSettings();
}

}  // namespace
}  // namespace quillmere

#include "windows_test.moc"
