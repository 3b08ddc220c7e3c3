#include "core/imageio/xmp_document.h"

#include <algorithm>
#include <cstdint>
#include <exiv2/exiv2.hpp>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "core/imageio/exiv2_lock.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/xmp_document_storage.h"

namespace quillmere {
namespace {

// "prefix:Name" as Exiv2's key "Xmp.prefix.Name". Only top-level simple properties are
// addressed, so a path with a dot, a slash or an array index in it is refused.
Exiv2::XmpKey keyFor(std::string_view path) {
    const std::size_t colon = path.find(':');
    const bool wellFormed = colon != std::string_view::npos && colon > 0 &&
                            colon + 1 < path.size() &&
                            path.find_first_of(":./[]", colon + 1) == std::string_view::npos &&
                            path.substr(0, colon).find_first_of("./[]") == std::string_view::npos;
    if (!wellFormed) {
        throw ImageIOError(ImageIOError::Code::invalidMetadata,
                           "\"" + std::string(path) + "\" is not an XMP property path.");
    }
    try {
        return Exiv2::XmpKey(std::string(path.substr(0, colon)),
                             std::string(path.substr(colon + 1)));
    } catch (const std::exception& error) {
        throw ImageIOError(ImageIOError::Code::invalidMetadata, error.what());
    }
}

// The top-level property a datum belongs to: "Xmp.iptcExt.LocationShown[1]/Iptc4xmpExt:City"
// belongs to "iptcExt:LocationShown".
std::string topLevelPath(const Exiv2::Xmpdatum& datum) {
    const std::string name = datum.tagName();
    return datum.groupName() + ":" + name.substr(0, name.find_first_of("[/"));
}

}  // namespace

XmpDocument::XmpDocument() : storage_(std::make_unique<Storage>()) {}
XmpDocument::~XmpDocument() = default;
XmpDocument::XmpDocument(const XmpDocument& other)
    : storage_(std::make_unique<Storage>(*other.storage_)) {}
XmpDocument& XmpDocument::operator=(const XmpDocument& other) {
    if (this != &other) storage_ = std::make_unique<Storage>(*other.storage_);
    return *this;
}
XmpDocument::XmpDocument(XmpDocument&& other) noexcept
    : storage_(std::exchange(other.storage_, std::make_unique<Storage>())) {}
XmpDocument& XmpDocument::operator=(XmpDocument&& other) noexcept {
    std::swap(storage_, other.storage_);
    return *this;
}

XmpDocument::XmpDocument(Storage&& storage)
    : storage_(std::make_unique<Storage>(std::move(storage))) {}

bool XmpDocument::empty() const { return storage_->data.empty(); }

std::optional<std::string> XmpDocument::text(std::string_view path) const {
    Exiv2Lock lock;
    const Exiv2::XmpKey key = keyFor(path);
    try {
        const auto found = storage_->data.findKey(key);
        if (found == storage_->data.end() || found->typeId() != Exiv2::xmpText) {
            return std::nullopt;
        }
        return found->toString();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void XmpDocument::setText(std::string_view path, std::string_view value) {
    Exiv2Lock lock;
    const Exiv2::XmpKey key = keyFor(path);
    try {
        Exiv2::XmpTextValue textValue;
        if (textValue.read(std::string(value)) != 0) {
            throw ImageIOError(ImageIOError::Code::invalidMetadata,
                               "The value of " + std::string(path) + " was refused.");
        }
        const auto found = storage_->data.findKey(key);
        if (found != storage_->data.end()) storage_->data.erase(found);
        storage_->data.add(key, &textValue);
    } catch (const ImageIOError&) {
        throw;
    } catch (const std::exception& error) {
        throw ImageIOError(ImageIOError::Code::invalidMetadata, error.what());
    }
}

void XmpDocument::remove(std::string_view path) {
    Exiv2Lock lock;
    const Exiv2::XmpKey key = keyFor(path);
    const auto found = storage_->data.findKey(key);
    if (found != storage_->data.end()) storage_->data.erase(found);
}

std::vector<std::string> XmpDocument::propertiesBySize() const {
    Exiv2Lock lock;
    std::map<std::string, std::size_t> sizes;
    for (const Exiv2::Xmpdatum& datum : storage_->data) {
        sizes[topLevelPath(datum)] += datum.key().size() + datum.toString().size();
    }
    std::vector<std::pair<std::string, std::size_t>> bySize(sizes.begin(), sizes.end());
    std::stable_sort(bySize.begin(), bySize.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::string> paths;
    for (auto& [path, size] : bySize) paths.push_back(std::move(path));
    return paths;
}

void XmpDocument::moveProperty(std::string_view path, XmpDocument& destination) {
    Exiv2Lock lock;
    Exiv2::XmpData& data = storage_->data;
    for (auto datum = data.begin(); datum != data.end();) {
        if (topLevelPath(*datum) == path) {
            destination.storage_->data.add(*datum);
            datum = data.erase(datum);
        } else {
            ++datum;
        }
    }
}

void XmpDocument::merge(const XmpDocument& other) {
    Exiv2Lock lock;
    Exiv2::XmpData& data = storage_->data;
    try {
        // Where each key first stands, as Exiv2's own lookup would find it; a property of `other`
        // takes the place of the one it replaces.
        std::unordered_map<std::string, std::size_t> positions;
        positions.reserve(static_cast<std::size_t>(data.count()) +
                          static_cast<std::size_t>(other.storage_->data.count()));
        std::size_t position = 0;
        for (const Exiv2::Xmpdatum& datum : data) positions.try_emplace(datum.key(), position++);
        for (const Exiv2::Xmpdatum& datum : other.storage_->data) {
            const auto [found, added] = positions.try_emplace(datum.key(), position);
            if (added) {
                data.add(datum);
                ++position;
            } else {
                *(data.begin() + static_cast<std::ptrdiff_t>(found->second)) = datum;
            }
        }
    } catch (const std::exception& error) {
        throw ImageIOError(ImageIOError::Code::invalidMetadata, error.what());
    }
}

std::string XmpDocument::serialize(bool packetWrapper) const {
    Exiv2Lock lock;
    std::string packet;
    const std::uint16_t options = Exiv2::XmpParser::useCompactFormat |
                                  (packetWrapper ? 0 : Exiv2::XmpParser::omitPacketWrapper);
    try {
        if (Exiv2::XmpParser::encode(packet, storage_->data, options, 0) != 0) {
            throw ImageIOError(ImageIOError::Code::invalidMetadata,
                               "The XMP properties could not be serialised.");
        }
    } catch (const ImageIOError&) {
        throw;
    } catch (const std::exception& error) {
        throw ImageIOError(ImageIOError::Code::invalidMetadata, error.what());
    }
    return packet;
}

}  // namespace quillmere
