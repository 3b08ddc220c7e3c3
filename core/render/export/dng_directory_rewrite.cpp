#include "core/render/export/dng_directory_rewrite.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "core/render/export/dng_export_error.h"

namespace quillmere {
namespace {

constexpr std::uint16_t kTagXMP = 700;
constexpr std::uint16_t kTagSoftware = 305;
constexpr std::uint16_t kTagDNGVersion = 50706;
constexpr std::uint16_t kTypeByte = 1;
constexpr std::uint16_t kTypeASCII = 2;

constexpr std::uint64_t kEntrySize = 12;
// Two entries are added, and the count is 16 bits.
constexpr std::uint64_t kMaxEntries = 65529;
// Offsets are 32 bits; a value must end below 2^32 - 1.
constexpr std::uint64_t kOffsetLimit = 0xFFFFFFFFu;
// The new directory itself needs room below the offset limit: 65536 entries of 12 bytes.
constexpr std::uint64_t kDirectoryStartLimit = kOffsetLimit - 65536 * kEntrySize;

constexpr std::string_view kSoftwareValue{"Quillmere\0", 10};

[[noreturn]] void throwInvalid() { throw DNGExportError(DNGExportError::Code::invalidDNG); }

// The file's byte order. Every range is checked in 64 bits, so a crafted offset near 2^32 cannot
// wrap around into the data.
struct ByteOrder {
    bool bigEndian;

    // The unsigned number of `count` bytes (at most 4) at `offset`.
    std::uint32_t number(std::string_view data, std::uint64_t offset, unsigned count) const {
        if (offset > data.size() || count > data.size() - offset) throwInvalid();
        std::uint32_t value = 0;
        for (unsigned i = 0; i < count; ++i) {
            const std::uint64_t index = offset + (bigEndian ? i : count - 1 - i);
            value = (value << 8) | static_cast<unsigned char>(data[index]);
        }
        return value;
    }

    // The low `count` bytes of `value`.
    std::string bytes(std::uint32_t value, unsigned count) const {
        std::string rendered(count, '\0');
        for (unsigned i = 0; i < count; ++i) {
            const unsigned shift = 8 * (bigEndian ? count - 1 - i : i);
            rendered[i] = static_cast<char>((value >> shift) & 0xFF);
        }
        return rendered;
    }
};

struct Entry {
    std::uint16_t tag;
    std::string bytes;  // all 12, exactly as they stand in the file
};

// What the old IFD0 contributes to the new one.
struct OldDirectory {
    std::vector<Entry> keptEntries;
    std::optional<std::string_view> xmpPacket;
    std::string nextIFDOffset;  // 4 bytes, copied as they were
};

ByteOrder byteOrderOf(std::string_view data) {
    const std::string_view mark = data.substr(0, 2);
    if (mark == "II") return {false};
    if (mark == "MM") return {true};
    throwInvalid();
}

OldDirectory readOldDirectory(std::string_view data, ByteOrder order) {
    if (order.number(data, 2, 2) != 42) throwInvalid();
    const std::uint64_t start = order.number(data, 4, 4);
    const std::uint64_t entryCount = order.number(data, start, 2);
    if (entryCount > kMaxEntries) throwInvalid();
    const std::uint64_t nextOffsetPosition = start + 2 + kEntrySize * entryCount;
    if (data.size() < nextOffsetPosition + 4) throwInvalid();

    OldDirectory directory;
    bool isDNG = false;
    for (std::uint64_t i = 0; i < entryCount; ++i) {
        const std::uint64_t entry = start + 2 + kEntrySize * i;
        const auto tag = static_cast<std::uint16_t>(order.number(data, entry, 2));
        if (tag == kTagXMP) {
            const std::uint64_t count = order.number(data, entry + 4, 4);
            const std::uint64_t valueOffset =
                count < 5 ? entry + 8 : order.number(data, entry + 8, 4);
            if (valueOffset > data.size() || count > data.size() - valueOffset) throwInvalid();
            directory.xmpPacket = data.substr(valueOffset, count);
        } else if (tag != kTagSoftware) {
            if (tag == kTagDNGVersion) isDNG = true;
            directory.keptEntries.push_back({tag, std::string(data.substr(entry, kEntrySize))});
        }
    }
    if (entryCount == 0 || !isDNG) throwInvalid();
    directory.nextIFDOffset = std::string(data.substr(nextOffsetPosition, 4));
    return directory;
}

// Appends values to the file, each at an even offset that a 32-bit entry can address.
class Appender {
public:
    Appender(std::string& output, ByteOrder order) : output_(output), order_(order) {}

    void padToEvenLength() {
        if (output_.size() % 2 != 0) output_.push_back('\0');
    }

    // A new entry whose value is stored inline when it fits in 4 bytes, else appended.
    Entry entry(std::uint16_t tag, std::uint16_t type, std::string_view value) {
        if (value.size() >= kOffsetLimit) throwInvalid();
        std::string bytes = order_.bytes(tag, 2) + order_.bytes(type, 2) +
                            order_.bytes(static_cast<std::uint32_t>(value.size()), 4);
        if (value.size() <= 4) {
            bytes += value;
            bytes.resize(kEntrySize, '\0');
        } else {
            padToEvenLength();
            if (output_.size() >= kOffsetLimit - value.size()) throwInvalid();
            bytes += order_.bytes(static_cast<std::uint32_t>(output_.size()), 4);
            output_.append(value);
        }
        return {tag, std::move(bytes)};
    }

private:
    std::string& output_;
    ByteOrder order_;
};

}  // namespace

std::string rewriteDNGDirectory(std::string dng, const XMPPacketBuilder& buildPacket,
                                bool includeSoftware) {
    const ByteOrder order = byteOrderOf(dng);
    OldDirectory old = readOldDirectory(dng, order);
    // Built before anything is appended: the old packet is a view into `dng`.
    const std::string packet = buildPacket(old.xmpPacket);

    std::vector<Entry> entries = std::move(old.keptEntries);
    Appender appender(dng, order);
    if (!packet.empty()) entries.push_back(appender.entry(kTagXMP, kTypeByte, packet));
    if (includeSoftware)
        entries.push_back(appender.entry(kTagSoftware, kTypeASCII, kSoftwareValue));

    appender.padToEvenLength();
    if (dng.size() >= kDirectoryStartLimit) throwInvalid();
    const auto directoryStart = static_cast<std::uint32_t>(dng.size());
    // Stable, so entries that share a tag keep their order.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    dng += order.bytes(static_cast<std::uint32_t>(entries.size()), 2);
    for (const Entry& entry : entries) dng += entry.bytes;
    dng += old.nextIFDOffset;
    dng.replace(4, 4, order.bytes(directoryStart, 4));
    return dng;
}

}  // namespace quillmere
