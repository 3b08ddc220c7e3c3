"""Spot repair written out from the program's design notes: the coverage mask, the source search
and the healing of one disc, in double precision on images of RGB rows (row 0 first, as the
textures store them).
"""

import math

from reference_develop import clamp, half, smoothstep

K = {
    "capsule_margin": 1.0,
    "step_per_radius": 0.4,
    "colour_weight": 0.12,
    "probe_weight": 0.015,
    "clearance": 1.2,
    "compress": True,
    "feather_start": 0.72,
    "weight_floor": 0.04,
}
PI = 3.1415925
BOUNDARY_FACTORS = [1.12, 1.6, 2.3, 3.2, 4.5, 6.4, 9.0, 12.8]
RING_FACTORS = [2.6, 3.8, 5.2, 6.6, 9.0, 12.8]


def position(x, y, width, height):
    """A repair point (x from the left, y from the top) in texture pixels."""
    return (width * x, height * (1 - y))


class Mask:
    def __init__(self, repairs, width, height):
        """`repairs`: (points, radius) with points [(x, y), ...] in repair coordinates."""
        self.width, self.height = width, height
        covered = [[0] * width for _ in range(height)]
        m = min(width, height)
        for points, radius in repairs:
            r = m * radius + K["capsule_margin"]
            pixels = [position(x, y, width, height) for x, y in points]
            for k, b in enumerate(pixels):
                a = pixels[k - 1] if k > 0 else b
                x0 = max(math.floor(min(a[0], b[0]) - r), 0)
                y0 = max(math.floor(min(a[1], b[1]) - r), 0)
                x1 = min(math.ceil(max(a[0], b[0]) + r), width)
                y1 = min(math.ceil(max(a[1], b[1]) + r), height)
                d = (b[0] - a[0], b[1] - a[1])
                length2 = d[0] ** 2 + d[1] ** 2
                for py in range(y0, y1):
                    for px in range(x0, x1):
                        c = (px + 0.5, py + 0.5)
                        t = (clamp(((c[0] - a[0]) * d[0] + (c[1] - a[1]) * d[1]) / length2, 0, 1)
                             if length2 > 0 else 0)
                        q = (a[0] + d[0] * t, a[1] + d[1] * t)
                        if (c[0] - q[0]) ** 2 + (c[1] - q[1]) ** 2 <= r * r:
                            covered[py][px] = 1
        self.integral = [[0] * (width + 1) for _ in range(height + 1)]
        for y in range(height):
            s = 0
            for x in range(width):
                s += covered[y][x]
                self.integral[y + 1][x + 1] = self.integral[y][x + 1] + s

    def is_clean(self, centre, radius):
        x0, y0 = math.floor(centre[0] - radius), math.floor(centre[1] - radius)
        x1, y1 = math.ceil(centre[0] + radius), math.ceil(centre[1] + radius)
        if x0 < 0 or y0 < 0 or x1 > self.width or y1 > self.height:
            return False
        i = self.integral
        return i[y1][x1] - i[y0][x1] - i[y1][x0] + i[y0][x0] == 0


def discs(points, radius, width, height):
    """The discs a stroke is cut into: their centres in repair coordinates."""
    step = radius * min(width, height) * K["step_per_radius"]
    centres = [points[0]]
    previous = points[0]
    for q in points[1:]:
        dx, dy = q[0] - previous[0], q[1] - previous[1]
        n = math.ceil(math.hypot(dx * width, dy * height) / step)
        centres += [(previous[0] + dx * i / n, previous[1] + dy * i / n) for i in range(1, n + 1)]
        previous = q
    return centres


def find_source(image, mask, disc, radius):
    """(source, boundary points, best score, runner-up score) in normalised texture coordinates,
    or None."""
    width, height = mask.width, mask.height

    def sample(p):
        x = int(clamp(math.trunc(p[0]), 0, width - 1))
        y = int(clamp(math.trunc(p[1]), 0, height - 1))
        rgb = [max(half(v), 0.0) for v in image[y][x]]
        return [v / (1 + v) if K["compress"] else v for v in rgb]

    c = position(disc[0], disc[1], width, height)
    r = max(min(width, height) * radius, 1)
    offsets = []
    for k in range(24):
        theta = 2 * PI * k / 24
        for f in BOUNDARY_FACTORS:
            rho = r * f + 1
            b = (rho * math.cos(theta), rho * math.sin(theta))
            if mask.is_clean((c[0] + b[0], c[1] + b[1]), 0.5):
                offsets.append(b)
                break
    if len(offsets) < 3:
        return None
    needed = 3 if len(offsets) < 6 else len(offsets) // 2
    scores = []
    for g in RING_FACTORS:
        for j in range(32):
            phi = 2 * PI * j / 32
            s = (c[0] + g * r * math.cos(phi), c[1] + g * r * math.sin(phi))
            if not mask.is_clean(s, K["clearance"] * r + 1):
                continue
            clean = [b for b in offsets if mask.is_clean((s[0] + b[0], s[1] + b[1]), 0.5)]
            if len(clean) < needed:
                continue
            targets = [sample((c[0] + b[0], c[1] + b[1])) for b in clean]
            sources = [sample((s[0] + b[0], s[1] + b[1])) for b in clean]
            tm = [sum(t[i] for t in targets) / len(clean) for i in range(3)]
            sm = [sum(t[i] for t in sources) / len(clean) for i in range(3)]
            mismatch = sum(sum(((sv[i] - sm[i]) - (tv[i] - tm[i])) ** 2 for i in range(3))
                           for sv, tv in zip(sources, targets)) / len(clean)
            colour = sum((sm[i] - tm[i]) ** 2 for i in range(3))
            probe = 0.4 * r
            probes = sum(sum((v - sm[i]) ** 2 for i, v in enumerate(sample(p))) for p in (
                s, (s[0] + probe, s[1]), (s[0] - probe, s[1]), (s[0], s[1] + probe),
                (s[0], s[1] - probe)))
            score = g * 1e-6 + mismatch + K["colour_weight"] * colour + K["probe_weight"] * probes
            scores.append((score, s, clean))
    if not scores:
        return None
    ranked = sorted(scores, key=lambda entry: entry[0])
    best = min(scores, key=lambda entry: entry[0])  # the first of equal scores
    runner_up = ranked[1][0] if len(ranked) > 1 else math.inf
    source = (best[1][0] / width, best[1][1] / height)
    boundary = [((c[0] + b[0]) / width, (c[1] + b[1]) / height) for b in best[2]]
    return source, boundary, best[0], runner_up


def heal(image, disc, radius, source, boundary):
    """The image after healing one disc, cloned from `source` (normalised texture coordinates)
    with the boundary points given, values stored as half."""
    height, width = len(image), len(image[0])
    stored = [[tuple(half(v) for v in texel) for texel in row] for row in image]

    def sample(p):
        # Bilinear at texel centres, clamped to the edge.
        cx = clamp(p[0] - 0.5, 0, width - 1)
        cy = clamp(p[1] - 0.5, 0, height - 1)
        x0, y0 = math.floor(cx), math.floor(cy)
        x1, y1 = min(x0 + 1, width - 1), min(y0 + 1, height - 1)
        fx, fy = cx - x0, cy - y0
        return tuple((stored[y0][x0][i] * (1 - fx) + stored[y0][x1][i] * fx) * (1 - fy)
                     + (stored[y1][x0][i] * (1 - fx) + stored[y1][x1][i] * fx) * fy
                     for i in range(3))

    target = position(disc[0], disc[1], width, height)
    r = min(width, height) * radius
    s = (source[0] * width, source[1] * height)
    samples = [(q[0] * width, q[1] * height) for q in boundary]
    samples = [q for q in samples
               if 0.5 <= q[0] <= width - 0.5 and 0.5 <= q[1] <= height - 0.5]
    result = [list(row) for row in stored]
    for y in range(height):
        for x in range(width):
            p = (x + 0.5, y + 0.5)
            offset = (p[0] - target[0], p[1] - target[1])
            d = math.hypot(*offset) / r
            if d >= 1:
                continue
            correction, total = [0.0, 0.0, 0.0], 0.0
            for q in samples:
                b = (q[0] - target[0], q[1] - target[1])
                delta = ((offset[0] - b[0]) / r, (offset[1] - b[1]) / r)
                w = 1 / max(K["weight_floor"], delta[0] ** 2 + delta[1] ** 2)
                at_q, at_source = sample(q), sample((s[0] + b[0], s[1] + b[1]))
                correction = [cr + w * (a - bs) for cr, a, bs in zip(correction, at_q, at_source)]
                total += w
            clone = sample((s[0] + offset[0], s[1] + offset[1]))
            healed = [v + cr / max(total, 0.0001) for v, cr in zip(clone, correction)]
            amount = 1 - smoothstep(K["feather_start"], 1, d)
            result[y][x] = tuple(half(cur + (clamp(h, 0, 1) - cur) * amount)
                                 for cur, h in zip(stored[y][x], healed))
    return result
