#pragma once

#include <QImage>
#include <filesystem>

namespace quillmere {

// One photo of the session, as the filmstrip shows it. Identified by its standardised path.
struct SessionPhoto {
    std::filesystem::path url;
    // Null until the thumbnail loader has delivered one.
    QImage thumbnail;
    // The photo's edit differs from its baseline.
    bool isEdited = false;
};

}  // namespace quillmere
