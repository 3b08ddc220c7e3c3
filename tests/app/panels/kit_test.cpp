#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include "app/kit/inspector_settings.h"
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

}  // namespace
}  // namespace quillmere
