"""Capture sharpening written out from the program's design notes, in double precision.

The luminance scales are rounded to 16-bit floats where the program stores them in textures.
"""

import math

from reference_develop import K as DEVELOP, REC709, clamp, dot, half, mix, smoothstep

K = {
    "fine_sigma": 0.55,
    "support_sigmas": 3.0,
    "amount_scale": 50.0,
    "scale_ceiling": 1.0,
    "detail_gain_high": 1.4,
    "allowance": 0.15,
    "offset_bound": 0.075,
    "mask_lower": 0.002,
    "channel_bound": True,
}


def sanitized(amount, radius, detail, masking):
    def clean(value, lo, hi, fallback):
        return fallback if not math.isfinite(value) else min(max(value, lo), hi)
    return (clean(amount, 0, 150, 0), clean(radius, 0.5, 3, 1), clean(detail, 0, 100, 25),
            clean(masking, 0, 100, 0))


def parameters(amount, radius, detail, masking, scale):
    """(amount, detail, masking, support, fine weights, coarse weights), weights for -9...9."""
    amount, radius, detail, masking = sanitized(amount, radius, detail, masking)
    if math.isfinite(scale):
        radius *= clamp(scale, 0.01, K["scale_ceiling"])
    fine_sigma = max(K["fine_sigma"] * radius, 0.25)
    coarse_sigma = max(radius, 0.25)
    support = int(clamp(math.ceil(K["support_sigmas"] * coarse_sigma), 1, 9))
    fine = [math.exp(-k * k / (2 * fine_sigma ** 2)) if abs(k) <= support else 0.0
            for k in range(-9, 10)]
    coarse = [math.exp(-k * k / (2 * coarse_sigma ** 2)) if abs(k) <= support else 0.0
              for k in range(-9, 10)]
    fine = [w / sum(fine) for w in fine]
    coarse = [w / sum(coarse) for w in coarse]
    return (amount / K["amount_scale"], detail / 100, masking / 100, support, fine, coarse)


def sharpen(image, amount, radius, detail, masking, scale=1.0):
    """The sharpened image (rows of RGB) of an image of RGB rows."""
    a, d, m, support, fine_w, coarse_w = parameters(amount, radius, detail, masking, scale)
    height, width = len(image), len(image[0])
    luma = [[dot(p, REC709) for p in row] for row in image]

    def at(plane, x, y):
        return plane[clamp(y, 0, height - 1)][clamp(x, 0, width - 1)]

    rows = [[(half(sum(at(luma, x + k, y) * fine_w[k + 9] for k in range(-support, support + 1))),
              half(sum(at(luma, x + k, y) * coarse_w[k + 9]
                       for k in range(-support, support + 1))))
             for x in range(width)] for y in range(height)]
    scales = [[(half(sum(at(rows, x, y + k)[0] * fine_w[k + 9]
                         for k in range(-support, support + 1))),
                half(sum(at(rows, x, y + k)[1] * coarse_w[k + 9]
                         for k in range(-support, support + 1))))
               for x in range(width)] for y in range(height)]

    result = []
    for y in range(height):
        row = []
        for x in range(width):
            pixel = image[y][x]
            lum = luma[y][x]
            bf, bc = scales[y][x]
            residual = (bf - bc) + mix(0.35, K["detail_gain_high"], d) * (lum - bf)
            residual *= smoothstep(0, mix(0.0035, 0.00015, d), abs(residual))
            low = high = lum
            gx = gy = 0.0
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    n = at(luma, x + dx, y + dy)
                    low, high = min(low, n), max(high, n)
                    f = at(scales, x + dx, y + dy)[0]
                    gx += dx * (2 if dy == 0 else 1) * f * 0.25
                    gy += dy * (2 if dx == 0 else 1) * f * 0.25
            edge = math.hypot(gx, gy)
            lower = K["mask_lower"] + 0.07 * m * m
            upper = lower + 0.015 + 0.06 * m
            mask = mix(1, smoothstep(lower, upper, edge), math.sqrt(m))
            delta = a * residual * mask
            allowance = min(0.06, (high - low) * K["allowance"])
            delta = clamp(lum + delta, low - allowance, high + allowance) - lum
            delta = clamp(delta, -K["offset_bound"], K["offset_bound"])
            if K["channel_bound"]:
                delta = clamp(delta, -min(pixel), 1 - max(pixel))
            row.append(tuple(c + delta for c in pixel))
        result.append(row)
    return result
