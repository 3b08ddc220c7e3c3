#include <QButtonGroup>
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
#include "app/state/preferences.h"
#include "core/common/build_config.h"
#include "shell_fixture.h"

namespace quillmere {
namespace {

bool isDark(const QWidget& widget) {
    return widget.palette().color(QPalette::Window).lightness() < 128;
}

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

class AppearanceTest : public ShellTest {
  protected:
    // The desktop's palette as the program finds it at start: its own, not the style's.
    AppearanceTest() {
        desktopPalette.setColor(QPalette::Window, QColor(0xc8, 0xd8, 0xe8));
        QApplication::setPalette(desktopPalette);
    }
    ~AppearanceTest() override { QApplication::setPalette(startPalette); }

    QAbstractButton* segment(const char* rawValue) {
        return settings->findChild<QAbstractButton*>(QString("appearance.") + rawValue);
    }

    const QPalette startPalette = QApplication::palette();
    QPalette desktopPalette = startPalette;
    std::unique_ptr<AppearanceController> controller;
    std::unique_ptr<AppearanceSettingsView> settings;
};

TEST_F(AppearanceTest, AnUnknownStoredTextReadsAsSystemAndStaysStored) {
    preferences.setValue("appearance", "Dark");
    controller = std::make_unique<AppearanceController>(preferences);
    settings = std::make_unique<AppearanceSettingsView>(preferences);
    EXPECT_TRUE(segment("system")->isChecked());
    EXPECT_TRUE(menuItem("System")->isChecked());
    EXPECT_EQ(QApplication::palette(), desktopPalette);
    EXPECT_EQ(preferences.value("appearance"), "Dark");
}

TEST_F(AppearanceTest, AChoiceRestylesEveryWindowAtOnceAndPersists) {
    controller = std::make_unique<AppearanceController>(preferences);
    settings = std::make_unique<AppearanceSettingsView>(preferences);
    settings->show();
    ASSERT_FALSE(isDark(window));

    QTest::mouseClick(segment("dark"), Qt::LeftButton);
    settle();
    EXPECT_TRUE(isDark(window) && isDark(*settings));
    EXPECT_TRUE(menuItem("Dark")->isChecked());
    EXPECT_EQ(Preferences(preferences.fileName()).value("appearance"), "dark");

    menuItem("Light")->trigger();
    settle();
    EXPECT_TRUE(segment("light")->isChecked());
    EXPECT_FALSE(isDark(window) || isDark(*settings));

    QTest::mouseClick(segment("system"), Qt::LeftButton);
    EXPECT_EQ(QApplication::palette(), desktopPalette);
}

class LicensesTest : public ::testing::Test {
  protected:
    testing::TemporaryFolder folder;
};

TEST_F(LicensesTest, TheRevealButtonIsThereOnlyWithTheLicencesFolder) {
    const std::filesystem::path licenses = folder.path() / "Licenses";
    TechnologyLicensesView view({folder.path() / "missing", licenses});
    auto* reveal = view.findChild<QPushButton*>("showLicenseFiles");
    view.show();
    EXPECT_FALSE(reveal->isVisible());
    view.hide();

    std::filesystem::create_directory(licenses);
    view.show();
    ASSERT_TRUE(reveal->isVisible());
    EXPECT_EQ(reveal->text(), "Show Full License Files in File Manager");
    // Without a file manager service on the bus, the folder holding it opens.
    URLCatcher catcher;
    QTest::mouseClick(reveal, Qt::LeftButton);
    EXPECT_EQ(catcher.opened,
              QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(folder.path().string()))});

    view.resize(100, 100);
    EXPECT_GE(view.width(), 520);
    EXPECT_GE(view.height(), 460);
}

TEST_F(LicensesTest, ACreditLinksOnlyToAnAddressThatIsAURL) {
    const struct {
        QString address;
        bool linked;
    } cases[] = {{"https://www.libraw.org/", true}, {"", false}, {"not an address", false}};
    for (const auto& row : cases) {
        std::unique_ptr<QGroupBox> group(
            TechnologyLicensesView::technologyGroup("Title", "Text <b>", "Link", row.address));
        QLabel* link = group->findChild<QLabel*>("link");
        EXPECT_EQ(link != nullptr, row.linked) << row.address.toStdString();
        if (link) EXPECT_TRUE(link->text().contains("href=\"" + row.address + "\""));
        EXPECT_EQ(group->title(), "Title");
    }
}

TEST_F(LicensesTest, EveryNamedComponentShipsItsNotice) {
    const std::filesystem::path shipped =
        std::filesystem::path(build_config::kSourceResourcesDir) / "licenses";
    for (const BundledComponent& component : bundledComponents()) {
        QFile notice(
            QString::fromStdString((shipped / component.licenseFile.toStdString()).string()));
        ASSERT_TRUE(notice.open(QIODevice::ReadOnly)) << component.licenseFile.toStdString();
        EXPECT_TRUE(notice.readAll().contains("Copyright")) << component.licenseFile.toStdString();
    }
}

// The program as main() builds it, over the user's folders of the test run.
class ApplicationTest : public ::testing::Test {
  protected:
    ApplicationTest() { removeSettings(); }
    ~ApplicationTest() override {
        removeSettings();
        QApplication::setPalette(startPalette);
    }
    static void removeSettings() {
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QFile::remove(config + "/Quillmere/Quillmere.conf");
        QFile::remove(config + "/Starlingmoor/Starlingmoor.conf");
    }
    template <class Window>
    static int shownWindows() {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<Window*>(widget) && widget->isVisible()) ++count;
        }
        return count;
    }

    const QPalette startPalette = QApplication::palette();
};

TEST_F(ApplicationTest, StartsWithEveryPaneOrThePreviousProductsChoicesAndOneWindowOfEachKind) {
    {
        QuillmereApp app;
        app.showMainWindow();
        for (const char* pane : {"librarySidebar", "sliderPanel"}) {
            EXPECT_TRUE(app.mainWindow().findChild<QWidget*>(pane)->isVisible()) << pane;
        }
        // The filmstrip appears with the first photo.
        for (QAction* item : app.mainWindow().menuBar()->findChildren<QAction*>()) {
            if (item->text() == "Show Filmstrip") EXPECT_TRUE(item->isChecked());
        }
        EXPECT_EQ(QApplication::palette(), startPalette);
    }
    removeSettings();
    {
        QSettings legacy(
            qEnvironmentVariable("XDG_CONFIG_HOME") + "/Starlingmoor/Starlingmoor.conf",
            QSettings::IniFormat);
        legacy.setValue("appearance", "dark");
        legacy.setValue("inspector.visible", false);
    }
    QuillmereApp app;
    app.showMainWindow();
    EXPECT_TRUE(isDark(app.mainWindow()));
    EXPECT_FALSE(app.mainWindow().findChild<QWidget*>("sliderPanel")->isVisible());

    for (int request = 0; request < 2; ++request) {
        app.showTechnologyLicenses();
        app.showSettings();
    }
    EXPECT_EQ(shownWindows<TechnologyLicensesView>(), 1);
    EXPECT_EQ(shownWindows<AppearanceSettingsView>(), 1);
}

}  // namespace
}  // namespace quillmere

#include "windows_test.moc"
