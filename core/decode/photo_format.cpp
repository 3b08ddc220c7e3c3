#include "core/decode/photo_format.h"

#include "core/edit/unicode_text.h"

namespace quillmere::PhotoFormat {
namespace {

// "photo.CR3" gives "CR3"; a name without a dot, or whose only dot leads it (".dng"), has none.
std::string pathExtension(const std::filesystem::path& url) {
    const std::string extension = url.filename().extension().string();
    return extension.empty() ? extension : extension.substr(1);
}

bool hasExtensionIn(const std::filesystem::path& url, const ExtensionSet& extensions) {
    return extensions.contains(lowercased(pathExtension(url)));
}

}  // namespace

const ExtensionSet& rawExtensions() {
    static const ExtensionSet extensions{
        "3fr", "ari", "arw", "bay", "cap", "cr2", "cr3", "crw", "dcr", "dcs", "dng", "drf", "eip",
        "erf", "fff", "gpr", "iiq", "k25", "kdc", "mdc", "mef", "mos", "mrw", "nef", "nrw", "orf",
        "pef", "ptx", "pxn", "r3d", "raf", "raw", "rwl", "rw2", "rwz", "sr2", "srf", "srw", "x3f"};
    return extensions;
}

const ExtensionSet& rasterExtensions() {
    static const ExtensionSet extensions{"jpg", "jpeg", "heic", "heif"};
    return extensions;
}

const ExtensionSet& supportedExtensions() {
    static const ExtensionSet extensions = [] {
        ExtensionSet all = rawExtensions();
        all.insert(rasterExtensions().begin(), rasterExtensions().end());
        return all;
    }();
    return extensions;
}

bool isRAW(const std::filesystem::path& url) { return hasExtensionIn(url, rawExtensions()); }

bool isRaster(const std::filesystem::path& url) { return hasExtensionIn(url, rasterExtensions()); }

}  // namespace quillmere::PhotoFormat
