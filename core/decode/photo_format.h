#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace quillmere::PhotoFormat {

// Lower-case file-name extensions without the dot. Built once on first use (safe under concurrent
// first use) and never changed, so they may be read from any thread.
using ExtensionSet = std::set<std::string, std::less<>>;

// Camera RAW files, DNG included (39 entries).
const ExtensionSet& rawExtensions();
// Rendered photos (4 entries).
const ExtensionSet& rasterExtensions();
// Every photo the program opens: the two sets together (43 entries; they do not overlap).
const ExtensionSet& supportedExtensions();

// Whether the file's name marks it as a camera RAW file or a rendered photo. Only the name counts,
// never the contents: the part of the last path component after its last dot, lower-cased.
bool isRAW(const std::filesystem::path& url);
bool isRaster(const std::filesystem::path& url);

}  // namespace quillmere::PhotoFormat
