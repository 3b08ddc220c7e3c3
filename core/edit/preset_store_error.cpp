#include "core/edit/preset_store_error.h"

#include <utility>

namespace quillmere {
namespace {

const char* caseName(PresetStoreError::Code code) {
    switch (code) {
        case PresetStoreError::Code::ioFailure:
            return "PresetStoreError.ioFailure";
        case PresetStoreError::Code::builtInIsReadOnly:
            return "PresetStoreError.builtInIsReadOnly";
        case PresetStoreError::Code::invalidName:
            return "PresetStoreError.invalidName";
        case PresetStoreError::Code::noSelection:
            break;
    }
    return "PresetStoreError.noSelection";
}

}  // namespace

PresetStoreError::PresetStoreError(Code code, std::string message)
    : Error(code == Code::ioFailure ? message : caseName(code)),
      code_(code),
      message_(std::move(message)) {}

PresetStoreError PresetStoreError::ioFailure(std::string message) {
    return {Code::ioFailure, std::move(message)};
}

PresetStoreError PresetStoreError::builtInIsReadOnly() { return {Code::builtInIsReadOnly, {}}; }

PresetStoreError PresetStoreError::invalidName() { return {Code::invalidName, {}}; }

PresetStoreError PresetStoreError::noSelection() { return {Code::noSelection, {}}; }

}  // namespace quillmere
