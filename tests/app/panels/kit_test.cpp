#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <functional>

#include "app/kit/double_slider.h"
#include "app/kit/inspector_settings.h"
#include "app/kit/wheel_guard.h"
#include "app/state/preferences.h"
#include "app/style/plain_text.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

TEST(PlainText, ShowsUserTextLiterally) {
    std::unique_ptr<QLabel> label(plainTextLabel("<b>x</b>"));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(buttonText("Salt & Pepper &&"), "Salt && Pepper &&&&");
    EXPECT_EQ(plainToolTip("<b>x</b>\n& y"),
              "<p style='white-space:pre'>&lt;b&gt;x&lt;/b&gt;\n&amp; y</p>");
}

TEST(InspectorSettings, ReadsDefaultsWithoutWritingAndAnnouncesWritesToEveryReader) {
    QTemporaryDir folder;
    const QString file = folder.filePath("Quillmere.conf");
    Preferences preferences(file);
    InspectorSettings settings(preferences), other(preferences);
    std::vector<QString> announced;
    QObject::connect(&other, &InspectorSettings::changed,
                     [&](const QString& key) { announced.push_back(key); });
    EXPECT_EQ(settings.panelOrder() + settings.collapsedPanels(), "");
    EXPECT_TRUE(settings.toneCurveExpanded() && settings.colorMixerExpanded());
    EXPECT_FALSE(QFile::exists(file)) << "nothing written";

    settings.setPanelOrder("tone,detail");
    settings.setCollapsedPanels("Tone|Detail");
    settings.setToneCurveExpanded(false);
    settings.setColorMixerExpanded(false);
    preferences.setValue("library.tab", "Edits");
    EXPECT_EQ(announced,
              (std::vector<QString>{"develop.panelOrder", "develop.collapsedPanels",
                                    "panel.toneCurve.expanded", "panel.colorMixer.expanded"}));
    EXPECT_EQ(other.panelOrder(), "tone,detail");
    EXPECT_FALSE(other.toneCurveExpanded() || other.colorMixerExpanded());

    // An order typed into the file without quotes reads back as a list; it is kept.
    QFile ini(file);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[General]\ndevelop.panelOrder=denoise,tone\n");
    ini.close();
    Preferences handEdited(file);
    EXPECT_EQ(InspectorSettings(handEdited).panelOrder(), "denoise,tone");
}

TEST(InspectorStyle, TonesFollowTheAppearanceAndSymbolsTakeTheirColour) {
    const QPalette saved = QApplication::palette();
    QWidget parent;
    QLabel* label = plainTextLabel("+12", &parent);
    setTextTone(*label, TextTone::secondary);
    parent.show();
    QPalette dark = saved;
    dark.setColor(QPalette::WindowText, QColor(250, 250, 250));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    const QColor shown = label->palette().color(QPalette::WindowText);
    QApplication::setPalette(saved);
    EXPECT_EQ(shown.rgb(), QColor(250, 250, 250).rgb());
    EXPECT_NEAR(shown.alphaF(), 0.55, 0.01);

    const QImage icon = symbolIcon("line.3.horizontal", SymbolTint::accent).pixmap(48).toImage();
    EXPECT_EQ(icon.pixelColor(24, 24).rgb(), accentColor(saved).rgb()) << "the middle bar";
    EXPECT_EQ(icon.pixelColor(24, 19).alpha(), 0) << "between the bars";
}

// A control under the wheel rule takes the focus from a click or Tab only: not as the first focus
// of the window that opens, not from a call, a shortcut or an arrow key that moves on from a
// button. Focus the user gave it comes back when its window is active again.
TEST(WheelGuard, AControlTakesTheFocusOnlyFromAClickOrTab) {
    const std::pair<const char*, std::function<QWidget*(QWidget*)>> controls[] = {
        {"pop-up box",
         [](QWidget* window) {
             auto* box = new QComboBox(window);
             box->addItems({"One", "Two", "Three"});
             return box;
         }},
        {"slider", [](QWidget* window) { return new DoubleSlider(window); }},
        {"number field", [](QWidget* window) { return new QLineEdit("12", window); }},
    };
    for (const auto& [kind, make] : controls) {
        QWidget window, other;
        QWidget* control = make(&window);
        leaveWheelToColumn(*control);
        auto* button = new QPushButton("OK", &window);
        auto* column = new QVBoxLayout(&window);
        column->addWidget(control);
        column->addWidget(button);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window)) << kind;
        EXPECT_FALSE(control->hasFocus()) << kind << ": the first focus of the window";
        control->setFocus();
        EXPECT_FALSE(control->hasFocus()) << kind << ": a call";
        control->setFocus(Qt::ShortcutFocusReason);
        EXPECT_FALSE(control->hasFocus()) << kind << ": a shortcut";
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Down);
        EXPECT_FALSE(control->hasFocus()) << kind << ": an arrow key on the button";

        button->setFocus();
        QTest::keyClick(button, Qt::Key_Tab);
        EXPECT_TRUE(control->hasFocus()) << kind << ": Tab";
        button->setFocus();
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(4, control->height() / 2));
        if (QWidget* popup = QApplication::activePopupWidget())
            QTest::keyClick(popup, Qt::Key_Escape);
        EXPECT_TRUE(control->hasFocus()) << kind << ": a click";
        other.show();
        QApplication::setActiveWindow(&other);
        QApplication::setActiveWindow(&window);
        EXPECT_TRUE(control->hasFocus()) << kind << ": back with its window";
    }
}

}  // namespace
}  // namespace quillmere
