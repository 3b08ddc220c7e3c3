#include "core/decode/onnx_model_description.h"

#include <onnx/onnx_pb.h>

#include <set>

#include "core/decode/core_ml_denoiser_error.h"

namespace quillmere {
namespace {

ONNXTensorDescription describe(const onnx::ValueInfoProto& value) {
    ONNXTensorDescription description{value.name(), false, {}};
    if (!value.type().has_tensor_type()) {
        return description;
    }
    const onnx::TypeProto::Tensor& tensor = value.type().tensor_type();
    description.isFloat32 = tensor.elem_type() == onnx::TensorProto::FLOAT;
    if (tensor.has_shape()) {
        for (const onnx::TensorShapeProto::Dimension& dimension : tensor.shape().dim()) {
            description.shape.push_back(dimension.has_dim_value() ? dimension.dim_value() : -1);
        }
    }
    return description;
}

}  // namespace

ONNXModelDescription ONNXModelDescription::parse(std::string_view bytes) {
    onnx::ModelProto model;
    if (bytes.size() > largestModelBytes ||
        !model.ParseFromArray(bytes.data(), static_cast<int>(bytes.size())) || !model.has_graph()) {
        throw CoreMLDenoiserError::invalidModel("model file is not an ONNX model");
    }
    const onnx::GraphProto& graph = model.graph();
    std::set<std::string> weights;
    for (const onnx::TensorProto& initializer : graph.initializer()) {
        weights.insert(initializer.name());
    }
    ONNXModelDescription description;
    for (const onnx::ValueInfoProto& input : graph.input()) {
        if (!weights.contains(input.name())) {
            description.inputs.push_back(describe(input));
        }
    }
    for (const onnx::ValueInfoProto& output : graph.output()) {
        description.outputs.push_back(describe(output));
    }
    return description;
}

}  // namespace quillmere
