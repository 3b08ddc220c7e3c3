#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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
    // Protocol buffers parse no message larger than this, so no ONNX model is larger.
    static constexpr std::size_t largestModelBytes = 0x7fffffff;

    std::vector<ONNXTensorDescription> inputs;
    std::vector<ONNXTensorDescription> outputs;

    // The declarations of the model whose file holds `bytes`, without running it.
    // Throws CoreMLDenoiserError (invalidModel) when the bytes are not an ONNX model.
    static ONNXModelDescription parse(std::string_view bytes);
};

}  // namespace quillmere
