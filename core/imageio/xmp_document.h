#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// A set of XMP properties, built from nothing or parsed from a file's packet (only the photo reader
// parses one: reader/metadata/xmp_parsing.h), and serialised back into a packet. Properties are
// addressed by their path "prefix:Name" ("quillmere:EditRecord", "xmp:CreatorTool"); the prefix
// must belong to a schema Exiv2 knows (its built-in ones, the program's own, or one declared by a
// parsed packet). Everything a parsed packet holds is kept through a serialisation, so a camera's
// or another program's XMP survives a rewrite.
class XmpDocument {
  public:
    // Largest packet, in bytes, that fits in the single APP1 segment a JPEG file gives XMP: the
    // segment's 16-bit length counts itself (2 bytes) and the XMP identifier (29 bytes).
    static constexpr std::size_t maxJpegPacketSize = 65535 - 2 - 29;

    XmpDocument();
    ~XmpDocument();
    XmpDocument(const XmpDocument& other);
    XmpDocument& operator=(const XmpDocument& other);
    XmpDocument(XmpDocument&& other) noexcept;
    XmpDocument& operator=(XmpDocument&& other) noexcept;

    bool empty() const;
    // The text of a simple property; nothing when it is absent or not simple text.
    std::optional<std::string> text(std::string_view path) const;
    // Sets a simple text property, replacing any value it had. Throws ImageIOError (invalid
    // metadata) for a path that is not "prefix:Name" or whose prefix names no known schema.
    void setText(std::string_view path, std::string_view value);
    // Removes a property; nothing happens when it is absent. Throws as setText for a bad path.
    void remove(std::string_view path);

    // The top-level properties ("prefix:Name"), each with everything nested in it, the largest
    // first by the size of their values.
    std::vector<std::string> propertiesBySize() const;
    // Moves the top-level property `path`, with everything nested in it, into `destination`.
    void moveProperty(std::string_view path, XmpDocument& destination);
    // Adds every property of `other`, replacing those of the same path, in a time that grows with
    // the properties of both (each is looked up once, in an index). Throws ImageIOError (invalid
    // metadata) when a property cannot be added; the properties added before stay.
    void merge(const XmpDocument& other);

    // The packet, UTF-8 without padding, with its wrapper unless `packetWrapper` is false. Throws
    // ImageIOError (invalid metadata) when the properties cannot be serialised.
    std::string serialize(bool packetWrapper = true) const;

    // Exiv2's records (xmp_document_storage.h), for the reader's parsing of a packet.
    struct Storage;
    explicit XmpDocument(Storage&& storage);

  private:
    std::unique_ptr<Storage> storage_;
};

}  // namespace quillmere
