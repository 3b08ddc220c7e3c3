#!/usr/bin/python3
# Quillmere: writes MatchFilter.onnx, the model of the Detail denoiser.
# Copyright (C) Quillmere contributors. GPL-3.0-or-later.
#
# The model is a noise-adaptive local Wiener filter, applied to each sensor channel on its own.
# Its input "image" is a tile [1, 8, t, t]: planes 0 to 3 the four sensor channels (R, G1, B, G2)
# clamped to 0...1, planes 4 to 7 the noise standard deviation of each sample. Its output
# "denoised" is [1, 4, t, t]. For every sample it estimates the local mean and variance over a
# square window and the local noise variance from the given deviations, then keeps the part of the
# difference from the local mean that the noise cannot explain:
#
#     out = mean + gain * (x - mean),   gain = max(variance - noise, 0) / (max(variance, 0) + floor)
#
# so flat areas become their local mean while edges and texture, whose variance is far above the
# noise, pass nearly unchanged. Window averages leave the tile's outside out of the count, so the
# border samples are as good as the others.
#
# Only operators that OpenCV 4.6's ONNX importer runs are used: Conv (always with kernel_shape),
# AveragePool, Mul, Sub, Add, Div and Relu.
#
# Run from anywhere with Debian's python3-onnx and python3-numpy:
#     resources/models/make_matchfilter_model.py [--tile-size 512] [--window 7] [--output PATH]

import argparse
import pathlib

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

CHANNELS = 4
# Keeps the gain's division finite where a window is perfectly flat: far below the variance of
# any real noise in normalised units.
VARIANCE_FLOOR = 1e-12
OPSET = 11
IR_VERSION = 7


def channel_selector(first_plane):
    """A 1 x 1 convolution weight that copies planes first_plane ... first_plane + 3."""
    weight = np.zeros((CHANNELS, 2 * CHANNELS, 1, 1), dtype=np.float32)
    for channel in range(CHANNELS):
        weight[channel, first_plane + channel, 0, 0] = 1.0
    return weight


def build_model(tile_size, window):
    radius = window // 2
    initializers = [
        numpy_helper.from_array(channel_selector(0), "select_samples"),
        numpy_helper.from_array(channel_selector(CHANNELS), "select_deviations"),
        numpy_helper.from_array(np.array(VARIANCE_FLOOR, dtype=np.float32), "variance_floor"),
    ]

    def select(name, weight):
        return helper.make_node("Conv", ["image", weight], [name], kernel_shape=[1, 1])

    def window_mean(source, name):
        # Separable: rows then columns; with outside texels left out of both counts, the two
        # one-dimensional means make exactly the square window's mean.
        return [
            helper.make_node("AveragePool", [source], [name + "_rows"],
                             kernel_shape=[1, window], pads=[0, radius, 0, radius],
                             strides=[1, 1], count_include_pad=0),
            helper.make_node("AveragePool", [name + "_rows"], [name],
                             kernel_shape=[window, 1], pads=[radius, 0, radius, 0],
                             strides=[1, 1], count_include_pad=0),
        ]

    nodes = [
        select("samples", "select_samples"),
        select("deviations", "select_deviations"),
        helper.make_node("Mul", ["deviations", "deviations"], ["noise_variance"]),
        helper.make_node("Mul", ["samples", "samples"], ["squares"]),
        *window_mean("samples", "local_mean"),
        *window_mean("squares", "local_mean_square"),
        *window_mean("noise_variance", "local_noise"),
        helper.make_node("Mul", ["local_mean", "local_mean"], ["squared_mean"]),
        helper.make_node("Sub", ["local_mean_square", "squared_mean"], ["local_variance"]),
        helper.make_node("Sub", ["local_variance", "local_noise"], ["signal_excess"]),
        helper.make_node("Relu", ["signal_excess"], ["signal_variance"]),
        helper.make_node("Relu", ["local_variance"], ["nonnegative_variance"]),
        helper.make_node("Add", ["nonnegative_variance", "variance_floor"], ["total_variance"]),
        helper.make_node("Div", ["signal_variance", "total_variance"], ["gain"]),
        helper.make_node("Sub", ["samples", "local_mean"], ["detail"]),
        helper.make_node("Mul", ["gain", "detail"], ["kept_detail"]),
        helper.make_node("Add", ["local_mean", "kept_detail"], ["denoised"]),
    ]
    graph = helper.make_graph(
        nodes, "MatchFilter",
        [helper.make_tensor_value_info("image", TensorProto.FLOAT,
                                       [1, 2 * CHANNELS, tile_size, tile_size])],
        [helper.make_tensor_value_info("denoised", TensorProto.FLOAT,
                                       [1, CHANNELS, tile_size, tile_size])],
        initializers)
    model = helper.make_model(
        graph, producer_name="Quillmere make_matchfilter_model.py",
        opset_imports=[helper.make_opsetid("", OPSET)])
    model.ir_version = IR_VERSION
    model.doc_string = (f"Noise-adaptive local Wiener filter over {window} x {window} windows, "
                        f"tiles of {tile_size} x {tile_size}. GPL-3.0-or-later.")
    onnx.checker.check_model(model)
    return model


def main():
    parser = argparse.ArgumentParser(description="Writes the Detail denoiser's model.")
    parser.add_argument("--tile-size", type=int, default=512,
                        help="side of the square tile; more than the denoiser's overlap of 64 "
                             "and at most 2048")
    parser.add_argument("--window", type=int, default=7,
                        help="odd side of the averaging window")
    parser.add_argument("--output", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parent / "MatchFilter.onnx")
    arguments = parser.parse_args()
    if not 64 < arguments.tile_size <= 2048:
        parser.error("the tile size must be more than 64 and at most 2048")
    if arguments.window < 3 or arguments.window % 2 == 0:
        parser.error("the window must be an odd number of at least 3")
    model = build_model(arguments.tile_size, arguments.window)
    arguments.output.write_bytes(model.SerializeToString())


if __name__ == "__main__":
    main()
