#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>

#include "app/panels/kit/inspector_settings.h"
#include "app/panels/kit/inspector_style.h"
#include "app/panels/kit/plain_text.h"
#include "app/panels/kit/ui_timing.h"
#include "app/state/preferences.h"

namespace quillmere {
namespace {

TEST(PlainText, ShowsUserTextLiterally) {
    std::unique_ptr<QLabel> label(plainTextLabel("<b>x</b> & y"));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(buttonText("Salt & Pepper && more"), "Salt && Pepper &&&& more");
    EXPECT_EQ(plainToolTip("<b>x</b>\n& y"),
              "<p style='white-space:pre'>&lt;b&gt;x&lt;/b&gt;\n&amp; y</p>");
}

TEST(InspectorSettings, DefaultsAreReadWithoutWritingAndWritesReachEveryReader) {
    QTemporaryDir folder;
    const QString file = folder.filePath("Quillmere.conf");
    Preferences preferences(file);
    InspectorSettings settings(preferences);
    InspectorSettings other(preferences);
    std::vector<QString> announced;
    QObject::connect(&other, &InspectorSettings::changed,
                     [&](const QString& key) { announced.push_back(key); });

    EXPECT_EQ(settings.panelOrder(), "");
    EXPECT_EQ(settings.collapsedPanels(), "");
    EXPECT_TRUE(settings.toneCurveExpanded());
    EXPECT_TRUE(settings.colorMixerExpanded());
    for (const QString& key :
         {InspectorSettings::panelOrderKey, InspectorSettings::collapsedPanelsKey,
          InspectorSettings::toneCurveExpandedKey, InspectorSettings::colorMixerExpandedKey}) {
        EXPECT_FALSE(preferences.contains(key)) << key.toStdString();
    }

    settings.setPanelOrder("tone,detail");
    settings.setCollapsedPanels("Tone|Detail");
    settings.setToneCurveExpanded(false);
    settings.setColorMixerExpanded(false);
    settings.setColorMixerExpanded(false);
    preferences.setValue("library.tab", "Edits");
    EXPECT_EQ(announced,
              (std::vector<QString>{"develop.panelOrder", "develop.collapsedPanels",
                                    "panel.toneCurve.expanded", "panel.colorMixer.expanded",
                                    "panel.colorMixer.expanded"}));
    // Another program start reads what was stored.
    Preferences reopened(file);
    InspectorSettings restored(reopened);
    EXPECT_EQ(restored.panelOrder(), "tone,detail");
    EXPECT_EQ(restored.collapsedPanels(), "Tone|Detail");
    EXPECT_FALSE(restored.toneCurveExpanded());
    EXPECT_FALSE(restored.colorMixerExpanded());
}

TEST(InspectorSettings, AnOrderWrittenByHandWithoutQuotesIsKept) {
    QTemporaryDir folder;
    const QString file = folder.filePath("Quillmere.conf");
    QFile ini(file);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[General]\ndevelop.panelOrder=denoise,tone\n");
    ini.close();
    Preferences preferences(file);
    EXPECT_EQ(InspectorSettings(preferences).panelOrder(), "denoise,tone");
}

TEST(UiTiming, ScalesEveryDurationIntoMilliseconds) {
    const double saved = UiTiming::scale();
    UiTiming::setScale(1);
    EXPECT_EQ(UiTiming::milliseconds(1.8), 1800);
    EXPECT_EQ(UiTiming::milliseconds(-1), 0);
    EXPECT_EQ(UiTiming::milliseconds(std::numeric_limits<double>::infinity()), 86'400'000);
    UiTiming::setScale(0.01);
    EXPECT_EQ(UiTiming::milliseconds(0.16), 2);
    UiTiming::setScale(saved);
}

TEST(TextTone, FollowsTheApplicationPalette) {
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
}

TEST(Symbols, ArePaintedInTheColourAskedFor) {
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintSymbol(painter, QRectF(0, 0, 48, 48), "line.3.horizontal", QColor(200, 0, 0));
    paintSymbol(painter, QRectF(0, 0, 48, 48), "no.such.symbol", Qt::black);
    painter.end();
    // The middle bar is drawn in red; between the bars the background shows.
    EXPECT_EQ(image.pixelColor(24, 24), QColor(200, 0, 0));
    EXPECT_EQ(image.pixelColor(24, 19), QColor(Qt::white));

    const QPixmap icon = symbolIcon("line.3.horizontal", SymbolTint::accent).pixmap(48, 48);
    EXPECT_EQ(icon.toImage().pixelColor(24, 24).rgb(), accentColor(QApplication::palette()).rgb());
}

}  // namespace
}  // namespace quillmere
