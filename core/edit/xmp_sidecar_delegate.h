#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/edit/tone_curve.h"
#include "core/edit/xml_parser.h"

namespace quillmere::XMPSidecar {

// Collects the raw Camera Raw settings of one sidecar as the parser walks it. Names are tested
// as qualified names, prefix "crs" and local name; the namespace URI is never consulted. For
// every key the first value met in document order wins, attributes of an element counting as met
// at its start.
class Delegate : public XMLParserDelegate {
  public:
    using TextByKey = std::map<std::string, std::string, std::less<>>;
    using CurvesByKey = std::map<std::string, std::vector<CurvePoint>, std::less<>>;

    void didStartElement(std::string_view name, const Attributes& attributes) override;
    void foundCharacters(std::string_view characters) override;
    void didEndElement(std::string_view name) override;

    // Raw text of each scalar and colour-mixer key, by local name; attribute values untrimmed,
    // element text trimmed.
    const TextByKey& values() const { return values_; }
    // The points of each curve key, by local name; a curve without a valid point is absent.
    const CurvesByKey& curves() const { return curves_; }

    // "crs:Look", whose nested curves belong to a look profile, not to the photo's own edit.
    static bool isLookElement(std::string_view qualifiedName);
    // Local names of the colour-mixer keys: "HueAdjustment", "SaturationAdjustment" or
    // "LuminanceAdjustment" followed by anything.
    static bool isHSLAttribute(std::string_view localName);
    // The local name of a Camera Raw scalar or colour-mixer key, else nothing.
    static std::optional<std::string> crsScalarKey(std::string_view qualifiedName);
    // The local name of a Camera Raw curve key, else nothing.
    static std::optional<std::string> crsCurveKey(std::string_view qualifiedName);

  private:
    TextByKey values_;
    CurvesByKey curves_;
    std::optional<std::string> currentCRSKey_;
    std::string currentText_;
    std::int64_t lookDepth_ = 0;
    std::optional<std::string> currentCurveKey_;
    std::vector<CurvePoint> currentCurvePoints_;
    bool inCurveLI_ = false;
    std::string currentLIText_;
};

}  // namespace quillmere::XMPSidecar
