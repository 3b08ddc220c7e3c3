#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillmere {

// A named tensor that a model takes or gives, as the model file declares it.
struct ONNXTensorDescription {
    std::string name;
    // Whether the declared element type is 32-bit float; any other type, or a non-tensor value,
    // is not.
    bool isFloat32 = false;
    // The declared dimensions; a dimension without a fixed size is -1. Empty when the model
    // declares no shape.
    std::vector<std::int64_t> shape;
};

// The inputs and outputs an ONNX model declares. Weights stored in the model are not inputs,
// even when an older file lists them among the graph's inputs.
struct ONNXModelDescription {
    std::vector<ONNXTensorDescription> inputs;
    std::vector<ONNXTensorDescription> outputs;

    // Reads the declarations of the model file at `path` without running it.
    // Throws CoreMLDenoiserError (invalidModel) when the file is not a readable ONNX model.
    static ONNXModelDescription read(const std::filesystem::path& path);
};

}  // namespace quillmere
