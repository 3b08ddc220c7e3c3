#include "app/panels/panel_arrangement.h"

#include "app/kit/inspector_settings.h"

namespace quillmere {
namespace {

QStringList collapsedTitles(const InspectorSettings& settings) {
    return settings.collapsedPanels().split(u'|', Qt::SkipEmptyParts);
}

}  // namespace

const QStringList PanelArrangement::defaultOrder = {"whiteBalance", "tone",      "recovery",
                                                    "presence",     "toneCurve", "colorMixer",
                                                    "spotRepair",   "detail",    "denoise"};

const QString PanelArrangement::allTitlesCollapsed =
    "White Balance|Tone|RAW Recovery|Highlights & Shadows|Presence|Spot Repair|Detail|Denoise";

QStringList PanelArrangement::order(const QString& stored) {
    QStringList order;
    for (const QString& id : stored.split(u',', Qt::SkipEmptyParts)) {
        // A repeated id keeps its first place: a panel is shown once.
        if (defaultOrder.contains(id) && !order.contains(id)) order.append(id);
    }
    for (const QString& id : defaultOrder) {
        if (!order.contains(id)) order.append(id);
    }
    return order;
}

QStringList PanelArrangement::order() const { return order(settings_.panelOrder()); }

void PanelArrangement::movePanel(const QString& dragged, const QString& target) {
    QStringList ids = order();
    if (dragged == target || !ids.contains(dragged)) return;
    ids.removeAll(dragged);
    const qsizetype index = ids.indexOf(target);
    ids.insert(index < 0 ? ids.size() : index, dragged);
    settings_.setPanelOrder(ids.join(u','));
}

void PanelArrangement::restoreDefaultOrder() { settings_.setPanelOrder(""); }

bool PanelArrangement::isExpanded(const QString& title) const {
    return !collapsedTitles(settings_).contains(title);
}

void PanelArrangement::setExpanded(const QString& title, bool expanded) {
    QStringList titles = collapsedTitles(settings_);
    titles.removeAll(title);
    if (!expanded) titles.append(title);
    settings_.setCollapsedPanels(titles.join(u'|'));
}

void PanelArrangement::expandAll() {
    settings_.setCollapsedPanels("");
    settings_.setToneCurveExpanded(true);
    settings_.setColorMixerExpanded(true);
}

void PanelArrangement::collapseAll() {
    settings_.setCollapsedPanels(allTitlesCollapsed);
    settings_.setToneCurveExpanded(false);
    settings_.setColorMixerExpanded(false);
}

namespace {

// The titled panels' titles and the ids their drags carry; the recovery panel has two titles.
constexpr std::pair<const char*, const char*> titledPanels[] = {
    {"White Balance", "whiteBalance"},    {"Tone", "tone"},         {"RAW Recovery", "recovery"},
    {"Highlights & Shadows", "recovery"}, {"Presence", "presence"}, {"Denoise", "denoise"},
    {"Spot Repair", "spotRepair"},        {"Detail", "detail"}};

}  // namespace

std::optional<QString> PanelArrangement::fixedTitle(const QString& id) {
    if (id == "recovery") return std::nullopt;
    for (const auto& [title, known] : titledPanels) {
        if (id == QLatin1String(known)) return title;
    }
    return std::nullopt;
}

QString PanelArrangement::recoveryTitle(bool showsRAW) {
    return showsRAW ? "RAW Recovery" : "Highlights & Shadows";
}

std::optional<QString> PanelArrangement::panelTitle(EditLayer layer, bool showsRAW) {
    switch (layer) {
        case EditLayer::spotRepair:
            return "Spot Repair";
        case EditLayer::denoise:
            return "Denoise";
        case EditLayer::sharpening:
            return "Detail";
        case EditLayer::temperature:
        case EditLayer::tint:
            return "White Balance";
        case EditLayer::exposure:
        case EditLayer::contrast:
            return "Tone";
        case EditLayer::highlights:
        case EditLayer::shadows:
        case EditLayer::whites:
        case EditLayer::blacks:
            return recoveryTitle(showsRAW);
        case EditLayer::vibrance:
        case EditLayer::saturation:
            return "Presence";
        case EditLayer::toneCurve:
        case EditLayer::colorMixer:
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace quillmere
