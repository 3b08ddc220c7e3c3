"""The develop arithmetic written out from the program's design notes, in double precision.

The tests' tables of expected develop results were computed with this module, independently of
the C++ code they check: run `scripts/reference-values` to print them again. Every constant the
develop fixes is a name in `K`, so `scripts/reference-values --sensitivity` can change one at a
time and show which table rows a wrong constant would move.
"""

import math
import struct

# The constants the develop fixes.
K = {
    "contrast_slope": 0.6,
    "middle_grey": 0.18,
    "pivot": math.log2(0.60 / 0.18),
    "knee": 0.8,
    "shoulder_b": 4.6875,
    "srgb_gamma": 2.4,
    "tint_steps": -337.0,
    "lowest_kelvin": 1667.0,
    "highest_kelvin": 25000.0,
    "shadow_lift_width": 3.2,
    "shadow_deepen_width": 2.25,
    "highlight_width": 2.6,
    "white_floor": 2.5,
    "compression_low": 0.35,
    "compression_high": 0.85,
    "range_sigma": 1.2,
    "move_limit": 5.0,
    "shadow_detail_limit": 0.75,
    "highlight_detail_limit": 0.10,
    "guide_sample_centre": 0.5,  # where in its share of a guide texel each sample lies
    "chroma_power": 3,
    "blue_from_z": 1.0572252,
    "bilateral_spatial": 128.0,
    "lut_interpolates": True,
    "limiter": 3.0,            # the radius the limited tangents are brought back to
    "limiter_threshold": 3.0,  # the radius beyond which the limiter acts
    "end_tangents": True,
    "whites_gain": 2.0,
    "blacks_gain": 2.0,
    "whites_pivot": 0.75,
    "shoulder_neutral": 0.36,
    "mixer_hue_degrees": 30.0,
    "mixer_lum_stops": 0.75,
    "mixer_hs_mask_low": 0.02,
    "mixer_hs_mask_high": 0.15,
    "mixer_l_mask_low": 0.01,
    "point_range_norm": 50.0,
    "point_hue_shift": 0.3,
    "point_lum_stops": 0.75,
    "point_edge_start": 0.5,
    "point_chroma_high": 0.08,
    "centres": [0.0, 30.0, 60.0, 120.0, 180.0, 240.0, 285.0, 330.0],
    "rec601": (0.299, 0.587, 0.114),
}
REC709 = (0.2126, 0.7152, 0.0722)


def half(value):
    """The value as a 16-bit float stores it (round to nearest even)."""
    return struct.unpack("<e", struct.pack("<e", value))[0]


def single(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def clamp(x, lo, hi):
    return min(max(x, lo), hi)


def mix(a, b, t):
    return a + (b - a) * t


def smoothstep(e0, e1, x):
    t = clamp((x - e0) / (e1 - e0), 0.0, 1.0)
    return t * t * (3 - 2 * t)


def fmod(x, y):
    return x - y * math.trunc(x / y)


def dot(a, b):
    return sum(p * q for p, q in zip(a, b))


# --- Display encoding ---------------------------------------------------------------------------

def shoulder(x):
    if x <= K["knee"]:
        return x
    t = x - K["knee"]
    return K["knee"] + t / (1 + K["shoulder_b"] * t)


def srgb(c):
    return 12.92 * c if c <= 0.0031308 else 1.055 * c ** (1 / K["srgb_gamma"]) - 0.055


def shoulder_encode(c):
    return clamp(srgb(shoulder(max(c, 0.0))), 0.0, 1.0)


def clip_encode(c):
    return clamp(srgb(max(c, 0.0)), 0.0, 1.0)


def rgb2hsv(c):
    r, g, b = c
    mx, mn = max(c), min(c)
    d = mx - mn
    h = 0.0
    if d != 0:
        if mx == r:
            h = fmod((g - b) / d, 6)
        elif mx == g:
            h = (b - r) / d + 2
        else:
            h = (r - g) / d + 4
        h *= 60
        if h < 0:
            h += 360
    s = d / mx if mx > 0 else 0.0
    return (h, s, mx)


def hsv2rgb(h, s, v):
    c = v * s
    hp = h / 60
    x = c * (1 - abs(fmod(hp, 2) - 1))
    if hp < 1:
        rgb = (c, x, 0)
    elif hp < 2:
        rgb = (x, c, 0)
    elif hp < 3:
        rgb = (0, c, x)
    elif hp < 4:
        rgb = (0, x, c)
    elif hp < 5:
        rgb = (x, 0, c)
    else:
        rgb = (c, 0, x)
    return tuple(channel + v - c for channel in rgb)


# --- White balance ------------------------------------------------------------------------------

def cubic(a3, a2, a1, a0, t):
    return a3 * t ** 3 + a2 * t ** 2 + a1 * t + a0


def planck_xy(kelvin):
    """Kim et al. (2002): the Planckian locus in CIE xy."""
    t = clamp(kelvin, K["lowest_kelvin"], K["highest_kelvin"])
    u = 1000.0 / t
    if t <= 4000:
        x = cubic(-0.2661239, -0.2343589, 0.8776956, 0.179910, u)
    else:
        x = cubic(-3.0258469, 2.1070379, 0.2226347, 0.240390, u)
    if t <= 2222:
        y = cubic(-1.1063814, -1.34811020, 2.18555832, -0.20219683, x)
    elif t <= 4000:
        y = cubic(-0.9549476, -1.37418593, 2.09137015, -0.16748867, x)
    else:
        y = cubic(3.0817580, -5.87338670, 3.75112997, -0.37001483, x)
    return x, y


def planck_rgb(kelvin):
    x, y = planck_xy(kelvin)
    X, Y, Z = x / y, 1.0, (1 - x - y) / y
    rgb = (3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z,
           -0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z,
           0.0556434 * X - 0.2040259 * Y + K["blue_from_z"] * Z)
    return tuple(max(c, 0.0001) for c in rgb)


def wb_gains(temperature, tint, as_shot_temperature, as_shot_tint):
    if temperature == as_shot_temperature and tint == as_shot_tint:
        return (1.0, 1.0, 1.0)
    a, b = planck_rgb(as_shot_temperature), planck_rgb(temperature)
    g = a[1] / b[1]
    return ((a[0] / b[0]) / g, 2 ** ((tint - as_shot_tint) / K["tint_steps"]), (a[2] / b[2]) / g)


# --- Tone curve ---------------------------------------------------------------------------------

class Monotone:
    """The monotone cubic Hermite evaluator with the Fritsch-Carlson limiter."""

    def __init__(self, points):
        knots = {}
        for x, y in points:
            knots[clamp(x, 0, 255) if x > 0 else 0] = clamp(y, 0, 255) if y > 0 else 0
        xs = sorted(knots)
        if len(xs) < 2:
            self.xs, self.ys, self.m = [0, 255], [0, 255], [1, 1]
            return
        ys = [knots[x] for x in xs]
        n = len(xs)
        d = [(ys[k + 1] - ys[k]) / (xs[k + 1] - xs[k]) for k in range(n - 1)]
        m = [0.0] * n
        m[0], m[-1] = d[0], d[-1]
        for k in range(1, n - 1):
            m[k] = 0.0 if d[k - 1] * d[k] <= 0 else (d[k - 1] + d[k]) / 2
        if not K["end_tangents"]:
            m[0] = 0.0
        for k in range(n - 1):
            if d[k] == 0:
                m[k] = m[k + 1] = 0.0
                continue
            a, b = m[k] / d[k], m[k + 1] / d[k]
            if a * a + b * b > K["limiter_threshold"] ** 2:
                t = K["limiter"] / math.sqrt(a * a + b * b)
                m[k], m[k + 1] = t * a * d[k], t * b * d[k]
        self.xs, self.ys, self.m = xs, ys, m

    def value(self, x):
        xs, ys, m = self.xs, self.ys, self.m
        if x <= xs[0]:
            return ys[0]
        if x >= xs[-1]:
            return ys[-1]
        lo = max(k for k in range(len(xs)) if xs[k] <= x)
        hi = lo + 1
        h = xs[hi] - xs[lo]
        t = (x - xs[lo]) / h
        t2, t3 = t * t, t * t * t
        y = ((2 * t3 - 3 * t2 + 1) * ys[lo] + h * (t3 - 2 * t2 + t) * m[lo]
             + (3 * t2 - 2 * t3) * ys[hi] + h * (t3 - t2) * m[hi])
        return clamp(y, 0, 255) if y > 0 else 0.0


def curve_table(curve, resolution=256):
    table = []
    for channel in ("rgb", "red", "green", "blue"):
        evaluator = Monotone(curve.get(channel, [(0, 0), (255, 255)]))
        table += [single(evaluator.value(i / (resolution - 1) * 255) / 255)
                  for i in range(resolution)]
    return table


def lut_sample(table, base, v):
    f = clamp(v, 0.0, 1.0) * 255
    i0 = min(int(f), 254)
    if not K["lut_interpolates"]:
        return table[base + i0]
    return mix(table[base + i0], table[base + i0 + 1], f - i0)


# --- Recovery -----------------------------------------------------------------------------------

def recovery_weight(distance, width):
    return (1 - math.exp(-max(distance, 0.0) / width)) ** 2


def recovery_range_weight(delta):
    support = max(0.0, 1 - delta * delta / 9)
    return support * support * math.exp(-delta * delta / (2 * K["range_sigma"] ** 2))


def recovery_log_curve(ev, white_ev, s):
    P = K["pivot"]
    if s["shadows"] >= 0:
        shadow = 5 * recovery_weight(P - ev, K["shadow_lift_width"])
    else:
        shadow = 3 * recovery_weight(-ev, K["shadow_deepen_width"])
    distance = max(ev - P, 0.0)
    highlight = 5 * recovery_weight(distance, K["highlight_width"])
    if s["highlights"] < 0:
        wd = max(white_ev - P, K["white_floor"])
        knee = wd - 0.5 * (1 - math.exp(-wd / 0.5))
        compression = clamp((wd - 0.94) / knee, K["compression_low"], K["compression_high"])
        highlight = min(5.0, compression * (distance - 0.5 * (1 - math.exp(-distance / 0.5))))
    return ev + s["shadows"] / 100 * shadow + s["highlights"] / 100 * highlight


def recovery_endpoints(ev, s):
    ev += s["whites"] / 100 * K["whites_gain"] * recovery_weight(ev - 0.75, 2.0)
    ev += s["blacks"] / 100 * K["blacks_gain"] * recovery_weight(-ev, 2.0)
    return ev


def recover_luminance(ev, base, white_ev, texture_mask, s):
    P = K["pivot"]
    mapped = recovery_log_curve(ev, white_ev, s)
    strength = max(-s["highlights"], 0) / 100 if ev >= P else max(s["shadows"], 0) / 100
    detail = recovery_log_curve(base, white_ev, s) + ev - base - mapped
    limit_detail = K["highlight_detail_limit"] if ev >= P else K["shadow_detail_limit"]
    detail_mask = texture_mask if ev >= P else 1.0
    mapped += (clamp(detail, -limit_detail, limit_detail) * strength * detail_mask
               * smoothstep(0, 1, abs(ev - P)))
    move = K["move_limit"] * (s["highlights"] if ev >= P else s["shadows"]) / 100
    limit = ev + move
    mapped = clamp(mapped, min(ev, limit), max(ev, limit))
    return K["middle_grey"] * 2 ** recovery_endpoints(mapped, s)


def recovery_shoulder(rgb):
    rgb = tuple(max(c, 0.0) for c in rgb)
    y = dot(rgb, REC709)
    if y <= 0:
        return rgb
    peak = max(rgb)
    t = max(peak - 0.9, 0.0)
    mapped = peak if peak <= 0.9 else 0.9 + 0.1 * t / (0.1 + t)
    rgb = tuple(c * mapped / peak for c in rgb)
    energy = max(y - 0.8, 0.0)
    neutral = energy * energy / (K["shoulder_neutral"] + energy * energy)
    return tuple(mix(c, mapped, neutral) for c in rgb)


# --- The develop of one pixel of a flat photo ---------------------------------------------------

DEFAULT_EDIT = {
    "exposure": 0.0, "contrast": 0.0, "highlights": 0.0, "shadows": 0.0, "whites": 0.0,
    "blacks": 0.0, "temperature": 5500.0, "tint": 0.0, "vibrance": 0.0, "saturation": 0.0,
    "denoise": 0.0, "curve": None, "hue": [0.0] * 8, "sat": [0.0] * 8, "lum": [0.0] * 8,
    "points": [], "blackAndWhite": False, "visualizePoint": -1, "visualizeBand": -1,
}
DEFAULT_POINT = {"hueRange": 30.0, "saturationRange": 0.5, "luminanceRange": 0.5, "range": 50.0,
                 "hueShift": 0.0, "saturationShift": 0.0, "luminanceShift": 0.0, "variance": 0.0}
POINT_LIMITS = {"hue": (0, 360), "saturation": (0, 1), "brightness": (0, 1),
                "hueRange": (1, 180), "saturationRange": (0.01, 1), "luminanceRange": (0.01, 1),
                "range": (1, 100), "hueShift": (-100, 100), "saturationShift": (-100, 100),
                "luminanceShift": (-100, 100), "variance": (-100, 100)}


def mixer_segment(h):
    c = K["centres"]
    for k in range(7):
        if h < c[k + 1]:
            return k
    return 7


def guide_ev(rgb, scale):
    return math.log2(max(dot(rgb, REC709), 1e-10) / K["middle_grey"]) * scale


def bilateral(guide):
    """The recovery base: the guide after the 25 x 25 range-limited bilateral filter."""
    height, width = len(guide), len(guide[0])
    base = []
    for y in range(height):
        row = []
        for x in range(width):
            centre, total, weights = guide[y][x], 0.0, 0.0
            for oy in range(-12, 13):
                for ox in range(-12, 13):
                    v = guide[clamp(y + oy, 0, height - 1)][clamp(x + ox, 0, width - 1)]
                    w = (math.exp(-(ox * ox + oy * oy) / K["bilateral_spatial"])
                         * recovery_range_weight(v - centre))
                    total += w * v
                    weights += w
            row.append(total / weights)
        base.append(row)
    return base


def develop(original, edit, raw=False, clean=None, as_shot=(5500.0, 0.0)):
    """The display-encoded colour of a photo whose every pixel is `original` (stored as half)."""
    return develop_image([[original]], edit, raw, [[clean]] if clean else None, as_shot)[0][0]


def guide_size(width, height):
    scale = min(256 / max(width, height), 1.0)
    side = lambda length: max(1, math.floor(length * scale + 0.5))
    return side(width), side(height)


def sample_bilinear(plane, u, v):
    """What a linear sampler with clamp-to-edge addressing reads from `plane` (rows of tuples) at
    normalised (u, v): texel centres lie at ((i + 0.5) / width, (j + 0.5) / height)."""
    def axis(t, size):
        p = clamp(t * size - 0.5, 0, size - 1)
        first = math.floor(p)
        return first, min(first + 1, size - 1), p - first

    x0, x1, fx = axis(u, len(plane[0]))
    y0, y1, fy = axis(v, len(plane))
    row = lambda y: tuple(mix(a, b, fx) for a, b in zip(plane[y][x0], plane[y][x1]))
    return tuple(mix(a, b, fy) for a, b in zip(row(y0), row(y1)))


def develop_image(image, edit, raw=False, clean=None, as_shot=(5500.0, 0.0)):
    """The developed rows of a photo (rows of colours, row 0 first)."""
    pixel = developer(image, edit, raw, clean, as_shot)
    return [[pixel(x, y) for x in range(len(image[0]))] for y in range(len(image))]


def develop_pixels(image, edit, pixels, raw=False):
    """The developed colours of the (x, y) `pixels` of a photo."""
    pixel = developer(image, edit, raw)
    return [pixel(x, y) for x, y in pixels]


def developer(image, edit, raw=False, clean=None, as_shot=(5500.0, 0.0)):
    """The develop of one pixel (x, y) of a photo, with everything the whole photo decides (the
    recovery guide, base and white point) worked out once."""
    e = dict(DEFAULT_EDIT, **edit)
    height, width = len(image), len(image[0])
    recovery = {k: clamp(e[k], -100, 100) for k in ("highlights", "shadows", "whites", "blacks")}
    amount = clamp(e["denoise"], 0, 100) / 100 if clean is not None else 0.0
    gains = wb_gains(e["temperature"], e["tint"], *as_shot)
    exposure = 2 ** e["exposure"]
    scale = 1 + e["contrast"] / 100 * K["contrast_slope"]

    def scene(y, x):
        o = tuple(half(c) for c in image[y][x])
        c = tuple(half(v) for v in clean[y][x]) if clean is not None else o
        if amount > 0:
            residual = tuple(p - q for p, q in zip(o, c))
            ry = dot(residual, REC709)
            r = 1 - amount
            o = tuple(q + r * ry + r ** K["chroma_power"] * (p - ry) for q, p in zip(c, residual))
        return tuple(v * g * exposure for v, g in zip(o, gains))

    scenes = [[scene(y, x) for x in range(width)] for y in range(height)]
    evs = [[guide_ev(rgb, scale) for rgb in row] for row in scenes]
    # Each guide texel averages n x n bilinear samples of the scene light spread evenly over the
    # area it covers.
    guide_width, guide_height = guide_size(width, height)
    n = min(4, math.ceil(max(width / guide_width, height / guide_height)))
    centre = K["guide_sample_centre"]

    def guide_texel(gx, gy):
        samples = [sample_bilinear(scenes, (gx + (i + centre) / n) / guide_width,
                                   (gy + (j + centre) / n) / guide_height)
                   for j in range(n) for i in range(n)]
        return guide_ev(tuple(sum(s[c] for s in samples) / (n * n) for c in range(3)), scale)

    guide = [[guide_texel(gx, gy) for gx in range(guide_width)] for gy in range(guide_height)]
    compresses = recovery["highlights"] < 0 or recovery["shadows"] > 0
    base = bilateral(guide) if compresses else guide
    white = max(max(max(row) for row in guide), -64.0)

    def base_at(x, y):
        # Joint bilateral upsampling at the pixel's centre.
        px = (x + 0.5) / width * guide_width - 0.5
        py = (y + 0.5) / height * guide_height - 0.5
        ox, oy = math.floor(px), math.floor(py)
        fx, fy = px - ox, py - oy
        ev = evs[y][x]
        total = weights = 0.0
        for dy in (0, 1):
            for dx in (0, 1):
                v = base[clamp(oy + dy, 0, guide_height - 1)][clamp(ox + dx, 0, guide_width - 1)]
                w = ((fx if dx else 1 - fx) * (fy if dy else 1 - fy)
                     * recovery_range_weight(v - ev))
                total += w * v
                weights += w
        return total / weights if weights > 1e-5 else ev

    return lambda x, y: develop_pixel(
        scenes[y][x], e, raw, recovery, scale, base_at(x, y), white,
        [evs[y][clamp(x - 1, 0, width - 1)], evs[y][clamp(x + 1, 0, width - 1)],
         evs[clamp(y - 1, 0, height - 1)][x], evs[clamp(y + 1, 0, height - 1)][x]])


def develop_pixel(rgb, e, raw, recovery, scale, base_texel, white, neighbours):
    """One pixel's develop: `base_texel` is its upsampled recovery base, `neighbours` the guide
    EVs of its left, right, lower and upper neighbours."""
    # Contrast and recovery on luminance.
    protection = 0.0
    y = dot(rgb, REC709)
    if y > 0:
        yc = K["middle_grey"] * 2 ** (math.log2(y / K["middle_grey"]) * scale)
        rgb = tuple(v * yc / y for v in rgb)
        y = yc
        if any(recovery[k] != 0 for k in recovery):
            P = K["pivot"]
            ev = math.log2(y / K["middle_grey"])
            white_ev = white if recovery["highlights"] < 0 else P
            compressing = ((ev > P and recovery["highlights"] < 0)
                           or (ev < P and recovery["shadows"] > 0))
            base = base_texel if compressing else ev
            mask = 0.0
            if ev > P and recovery["highlights"] < 0:
                gradient = 0.5 * (abs(neighbours[1] - neighbours[0])
                                  + abs(neighbours[3] - neighbours[2]))
                texture = abs(ev - sum(neighbours) / 4)
                mask = 1 - smoothstep(0.5, 1.5, gradient / (texture + 0.001))
            yr = recover_luminance(ev, base, white_ev, mask, recovery)
            rgb = tuple(v * yr / y for v in rgb)
            protection = max(max(-recovery["highlights"], 0) / 100 * smoothstep(0, 1, ev - P),
                             max(-recovery["whites"], 0) / 100
                             * smoothstep(0, 1, ev - K["whites_pivot"]))

    # Display encoding.
    if raw:
        legacy = tuple(shoulder_encode(v) for v in rgb)
        if protection > 0:
            protected = tuple(srgb(v) for v in recovery_shoulder(rgb))
            rgb = tuple(mix(p, q, protection) for p, q in zip(legacy, protected))
        else:
            rgb = legacy
    else:
        rgb = tuple(clip_encode(v) for v in rgb)

    # Tone curve.
    if e["curve"] is not None:
        table = curve_table(e["curve"])
        rgb = tuple(lut_sample(table, 0, v) for v in rgb)
        rgb = tuple(lut_sample(table, base, v) for v, base in zip(rgb, (256, 512, 768)))

    # Point colours, selected on the colour before any of them moves it.
    h, s, v = sample = rgb2hsv(rgb)
    delta = [0.0, 0.0, 0.0]
    selected = 0.0
    points = [dict(DEFAULT_POINT, **p) for p in e["points"][:8]]
    for n, point in enumerate(points):
        p = {k: clamp(point[k], *POINT_LIMITS[k]) for k in POINT_LIMITS}
        dh = fmod(h - p["hue"] + 540, 360) - 180
        window = max(0.02, p["range"] / K["point_range_norm"])
        distance = max(abs(dh) / (p["hueRange"] * window),
                       abs(s - p["saturation"]) / (p["saturationRange"] * window),
                       abs(v - p["brightness"]) / (p["luminanceRange"] * window))
        weight = 1 - smoothstep(K["point_edge_start"], 1, distance)
        if n == e["visualizePoint"]:
            selected = weight
        chroma = smoothstep(0.01, K["point_chroma_high"], s)
        delta[0] += weight * chroma * (p["hueShift"] * K["point_hue_shift"]
                                       + dh * p["variance"] / 100)
        delta[1] += weight * chroma * p["saturationShift"] / 100
        delta[2] += weight * chroma * p["luminanceShift"] / 100 * K["point_lum_stops"]
    if any(d != 0 for d in delta):
        rgb = tuple(clamp(ch, 0, 1) for ch in hsv2rgb(fmod(h + delta[0] + 720, 360),
                                                      clamp(s * (1 + delta[1]), 0, 1),
                                                      v * 2 ** delta[2]))

    # The band mixer.
    neutral_points = all(p[k] == 0 for p in points
                         for k in ("hueShift", "saturationShift", "luminanceShift", "variance"))
    mixer_active = (e["blackAndWhite"] or not neutral_points
                    or any(x != 0 for x in e["hue"] + e["sat"] + e["lum"]))
    if mixer_active:
        mh, ms, mv = rgb2hsv(rgb)
        i = mixer_segment(mh)
        j = (i + 1) % 8
        centres = K["centres"]
        upper = centres[0] + 360 if i == 7 else centres[i + 1]
        t = smoothstep(centres[i], upper, mh)
        wi, wj = 1 - t, t
        hue_shift = (wi * e["hue"][i] + wj * e["hue"][j]) / 100 * K["mixer_hue_degrees"]
        sat_factor = max(0.0, 1 + (wi * e["sat"][i] + wj * e["sat"][j]) / 100)
        lum_factor = 2 ** ((wi * e["lum"][i] + wj * e["lum"][j]) / 100 * K["mixer_lum_stops"])
        m_hs = smoothstep(K["mixer_hs_mask_low"], K["mixer_hs_mask_high"], ms)
        m_l = smoothstep(K["mixer_l_mask_low"], 0.08, ms)
        rgb = tuple(clamp(ch, 0, 1) for ch in hsv2rgb(fmod(mh + hue_shift * m_hs + 360, 360),
                                                      clamp(ms * mix(1, sat_factor, m_hs), 0, 1),
                                                      mv * mix(1, lum_factor, m_l)))

    if e["blackAndWhite"]:
        grey = dot(rgb, K["rec601"])
        rgb = (grey, grey, grey)

    # Vibrance and saturation around one Rec. 601 luminance.
    luma = dot(rgb, K["rec601"])
    spread = (max(rgb) - min(rgb)) / max(max(rgb), 0.0001)
    rgb = tuple(mix(luma, ch, 1 + e["vibrance"] / 100 * (1 - spread)) for ch in rgb)
    rgb = tuple(clamp(mix(luma, ch, 1 + e["saturation"] / 100), 0, 1) for ch in rgb)

    if e["visualizePoint"] >= 0:
        grey = dot(rgb, K["rec601"])
        rgb = tuple(mix(grey, ch, selected) for ch in rgb)
    if 0 <= e["visualizeBand"] < 8:
        band = int(e["visualizeBand"])
        i = mixer_segment(h)
        j = (i + 1) % 8
        t = smoothstep(K["centres"][i], 360 if i == 7 else K["centres"][j], h)
        weight = 1 - t if band == i else (t if band == j else 0.0)
        grey = dot(rgb, K["rec601"])
        rgb = tuple(mix(grey, ch, weight) for ch in rgb)
    return rgb
