#include "core/render/export/dng_export_error.h"

namespace quillmere {
namespace {

const char* sentenceFor(DNGExportError::Code code) {
    switch (code) {
        case DNGExportError::Code::invalidDNG:
            return "The source is not a supported classic TIFF-based DNG.";
        case DNGExportError::Code::converterRequired:
            return "Install Adobe DNG Converter in Applications to export this RAW as a DNG. "
                   "Existing DNG files can be exported directly.";
        case DNGExportError::Code::conversionFailed:
            return "Adobe DNG Converter could not convert this RAW file.";
        case DNGExportError::Code::rasterNotSupported:
            return "DNG preserves RAW data. JPEG and HEIC photos should be exported as JPEG.";
        case DNGExportError::Code::externalConverterUnavailable:
            break;
    }
    return "This edition exports existing DNG files directly. Export other RAW formats as JPEG, "
           "or convert them to DNG before opening them in Quillmere.";
}

}  // namespace

DNGExportError::DNGExportError(Code code) : Error(sentenceFor(code)), code_(code) {}

}  // namespace quillmere
