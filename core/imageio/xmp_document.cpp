#include "core/imageio/xmp_document.h"

#include <utility>

#include <exiv2/exiv2.hpp>

#include "core/imageio/exiv2_lock.h"
#include "core/imageio/imageio_error.h"

namespace quillmere {

struct XmpDocument::Storage {
    Exiv2::XmpData data;
};

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

std::optional<XmpDocument> XmpDocument::parse(std::string_view packet) {
    XmpDocument document;
    Exiv2Lock lock;
    try {
        if (Exiv2::XmpParser::decode(document.storage_->data, std::string(packet)) != 0) {
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return document;
}

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

std::string XmpDocument::serialize() const {
    Exiv2Lock lock;
    std::string packet;
    try {
        if (Exiv2::XmpParser::encode(packet, storage_->data, Exiv2::XmpParser::useCompactFormat,
                                     0) != 0) {
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
