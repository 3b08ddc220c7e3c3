#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/dnn.hpp>

#include "core/decode/core_ml_denoiser.h"
#include "core/decode/core_ml_denoiser_error.h"
#include "core/decode/model_file.h"
#include "core/decode/onnx_model_description.h"

namespace quillmere {
namespace {

const ONNXTensorDescription* named(const std::vector<ONNXTensorDescription>& tensors,
                                   const std::string& name) {
    const auto found =
        std::find_if(tensors.begin(), tensors.end(),
                     [&](const ONNXTensorDescription& tensor) { return tensor.name == name; });
    return found == tensors.end() ? nullptr : &*found;
}

// The tile size the model declares, after checking that its one input and its output have the
// shapes the tiling feeds and reads.
int declaredTileSize(const std::string& modelBytes,
                     const CoreMLDenoiser::Configuration& configuration) {
    const ONNXModelDescription model = ONNXModelDescription::parse(modelBytes);

    const ONNXTensorDescription* image = named(model.inputs, configuration.imageInputName);
    if (image == nullptr || !image->isFloat32) {
        throw CoreMLDenoiserError::invalidModel("image input must be a Float32 multi-array");
    }
    const std::vector<std::int64_t>& shape = image->shape;
    if (shape.size() != 4 || shape[0] != 1 || shape[1] != 8 || shape[2] < 1 ||
        shape[2] != shape[3]) {
        throw CoreMLDenoiserError::invalidModel("expected image shape [1, 8, tile, tile]");
    }
    const std::int64_t tile = shape[2];

    const ONNXTensorDescription* output = named(model.outputs, configuration.outputName);
    if (output == nullptr || !output->isFloat32 ||
        output->shape != std::vector<std::int64_t>{1, 4, tile, tile}) {
        throw CoreMLDenoiserError::invalidModel("output must be Float32 [1, 4, tile, tile]");
    }
    if (model.inputs.size() != 1) {
        throw CoreMLDenoiserError::invalidModel("model has unconfigured inputs");
    }
    // A tile beyond the int range is as invalid as any above the maximum; the tiling check that
    // follows rejects both alike.
    return static_cast<int>(std::min<std::int64_t>(tile, std::numeric_limits<int>::max()));
}

// OpenCV writes its diagnostics to stderr, over whatever the program writes there. Its failures
// reach the user as the denoiser's own errors instead, so its log is turned off.
void silenceOpenCVLog() {
    static std::once_flag once;
    std::call_once(once,
                   [] { cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT); });
}

// Runs the model whose file holds `modelBytes`. A model that fails to run is named with its file
// and `advice`, as the constructor names the failures it finds.
CoreMLDenoiser::Predictor onnxPredictor(const std::string& modelBytes,
                                        const CoreMLDenoiser::Configuration& configuration,
                                        const std::filesystem::path& modelURL,
                                        const std::string& advice) {
    silenceOpenCVLog();
    cv::dnn::Net net;
    try {
        net = cv::dnn::readNetFromONNX(modelBytes.data(), modelBytes.size());
    } catch (const cv::Exception&) {
        // An operator OpenCV does not have, or a graph it cannot build.
        throw CoreMLDenoiserError::invalidModel("the model cannot be loaded");
    }
    net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    return [net, input = configuration.imageInputName, output = configuration.outputName, modelURL,
            advice](const cv::Mat& image) mutable {
        if (net.getLayerId(output) < 0) {
            throw CoreMLDenoiserError::invalidOutput("missing image output");
        }
        cv::Mat prediction;
        try {
            net.setInput(image, input);
            prediction = net.forward(output);
        } catch (const cv::Exception&) {
            // OpenCV checks the layers' shapes while it loads the model; what fails later (memory
            // for an intermediate tensor, a layer without a CPU implementation) fails here.
            throw CoreMLDenoiserError::invalidModel("the model cannot be run")
                .aboutModelFile(modelURL, advice);
        }
        if (prediction.empty()) {
            throw CoreMLDenoiserError::invalidOutput("missing image output");
        }
        return prediction;
    };
}

}  // namespace

// The declarations are checked before OpenCV sees the model, so an incompatible model is reported
// as such rather than as whatever OpenCV makes of it. Every failure of the model, the tiling's
// included, names the file.
CoreMLDenoiser::CoreMLDenoiser(const std::filesystem::path& modelURL, Configuration configuration,
                               const std::string& advice) try
    : CoreMLDenoiser(readModelFile(modelURL), std::move(configuration), modelURL, advice) {
} catch (const CoreMLDenoiserError& failure) {
    throw failure.aboutModelFile(modelURL, advice);
}

CoreMLDenoiser::CoreMLDenoiser(const std::string& modelBytes, Configuration configuration,
                               const std::filesystem::path& modelURL, const std::string& advice)
    : CoreMLDenoiser(declaredTileSize(modelBytes, configuration), configuration, nullptr) {
    predictor_ = onnxPredictor(modelBytes, configuration_, modelURL, advice);
}

}  // namespace quillmere
