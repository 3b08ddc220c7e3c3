#include "core/edit/xmp_sidecar_delegate.h"

#include <algorithm>

#include "core/edit/unicode_text.h"
#include "core/edit/xmp_sidecar.h"

namespace quillmere::XMPSidecar {
namespace {

// The part after the first colon of a name whose prefix is exactly "crs"; nothing otherwise.
std::optional<std::string_view> cameraRawLocalName(std::string_view qualifiedName) {
    const auto colon = qualifiedName.find(':');
    if (colon == std::string_view::npos || qualifiedName.substr(0, colon) != "crs") {
        return std::nullopt;
    }
    return qualifiedName.substr(colon + 1);
}

// RDF list items ("rdf:li"), whatever their prefix.
bool isListItem(std::string_view name) {
    const auto colon = name.find(':');
    return (colon == std::string_view::npos ? name : name.substr(colon + 1)) == "li";
}

bool isScalarKey(std::string_view localName) {
    return std::ranges::any_of(allKeys,
                               [&](Key key) { return XMPSidecar::localName(key) == localName; });
}

bool isCurveKey(std::string_view localName) {
    return std::ranges::any_of(
        allCurveKeys, [&](CurveKey key) { return XMPSidecar::localName(key) == localName; });
}

}  // namespace

bool Delegate::isLookElement(std::string_view qualifiedName) {
    return cameraRawLocalName(qualifiedName) == "Look";
}

bool Delegate::isHSLAttribute(std::string_view localName) {
    return std::ranges::any_of(
        hslKeyPrefixes, [&](std::string_view prefix) { return localName.starts_with(prefix); });
}

std::optional<std::string> Delegate::crsScalarKey(std::string_view qualifiedName) {
    const auto localName = cameraRawLocalName(qualifiedName);
    if (!localName || !(isScalarKey(*localName) || isHSLAttribute(*localName))) return std::nullopt;
    return std::string(*localName);
}

std::optional<std::string> Delegate::crsCurveKey(std::string_view qualifiedName) {
    const auto localName = cameraRawLocalName(qualifiedName);
    if (!localName || !isCurveKey(*localName)) return std::nullopt;
    return std::string(*localName);
}

void Delegate::didStartElement(std::string_view name, const Attributes& attributes) {
    if (isLookElement(name)) ++lookDepth_;

    for (const auto& [attributeName, value] : attributes) {
        if (const auto key = crsScalarKey(attributeName)) values_.try_emplace(*key, value);
    }

    // Curves inside a look belong to the look, not to the photo's edit.
    if (lookDepth_ == 0 && !currentCurveKey_) {
        if (auto curveKey = crsCurveKey(name); curveKey && !curves_.contains(*curveKey)) {
            currentCurveKey_ = std::move(curveKey);
            currentCurvePoints_.clear();
        }
    }

    if (currentCurveKey_ && isListItem(name)) {
        inCurveLI_ = true;
        currentLIText_.clear();
    }

    // Any element starting inside a scalar element ends the collection of that scalar's text.
    currentCRSKey_ = crsScalarKey(name);
    if (currentCRSKey_) currentText_.clear();
}

void Delegate::foundCharacters(std::string_view characters) {
    if (currentCRSKey_) currentText_ += characters;
    if (inCurveLI_) currentLIText_ += characters;
}

void Delegate::didEndElement(std::string_view name) {
    if (inCurveLI_ && isListItem(name)) {
        if (const auto point = parseCurvePoint(currentLIText_))
            currentCurvePoints_.push_back(*point);
        inCurveLI_ = false;
        currentLIText_.clear();
    }

    if (currentCurveKey_ && crsCurveKey(name) == currentCurveKey_) {
        // An empty curve is not stored, so a later element of the same key can still fill it.
        if (!currentCurvePoints_.empty()) {
            curves_.try_emplace(*currentCurveKey_, std::move(currentCurvePoints_));
        }
        currentCurveKey_.reset();
        currentCurvePoints_.clear();
    }

    if (currentCRSKey_ && crsScalarKey(name) == currentCRSKey_) {
        const std::string_view text = trimmingWhitespaceAndNewlines(currentText_);
        if (!text.empty()) values_.try_emplace(*currentCRSKey_, text);
    }
    currentCRSKey_.reset();
    currentText_.clear();

    if (isLookElement(name) && lookDepth_ >= 1) --lookDepth_;
}

}  // namespace quillmere::XMPSidecar
