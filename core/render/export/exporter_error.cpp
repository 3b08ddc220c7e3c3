#include "core/render/export/exporter_error.h"

#include <string>
#include <utility>

namespace quillmere {
namespace {

std::string genericDescription(ExporterError::Code code) {
    return "The operation couldn’t be completed. (QuillmereCore.ExporterError error " +
           std::to_string(static_cast<int>(code)) + ".)";
}

}  // namespace

ExporterError::ExporterError(Code code, std::exception_ptr underlying)
    : Error(genericDescription(code)), code_(code), underlying_(std::move(underlying)) {}

ExporterError ExporterError::writeFailed(std::exception_ptr underlying) {
    return {Code::writeFailed, std::move(underlying)};
}

ExporterError ExporterError::directoryCreationFailed(std::exception_ptr underlying) {
    return {Code::directoryCreationFailed, std::move(underlying)};
}

ExporterError ExporterError::jpegEncodingFailed() { return {Code::jpegEncodingFailed, nullptr}; }

ExporterError ExporterError::imageIOFailure() { return {Code::imageIOFailure, nullptr}; }

}  // namespace quillmere
