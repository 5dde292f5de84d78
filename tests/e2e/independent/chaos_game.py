"""A second, independent reading of the render: parse a scene, trace its
groups with the scene's generator and write the count files, all in plain
Python floats (IEEE doubles, no fused operations). The program's files must
equal these byte for byte."""

import math
import struct
import sys

LINE_FIELDS = {"h": 8, "a": 7, "p": 13, "s": 13}


def parse(text):
    scene = {"hires": False, "fast": True, "seed": None, "maps": [], "target": 0}
    for raw in text.split("\n"):
        if len(raw) <= 1:
            continue
        line = raw[:-1] if raw.endswith("\r") else raw
        kind = line[0]
        fields = line.split(" ")
        if kind == "_" and fields[0].lower() == "_setseed":
            scene["seed"] = round(float(fields[1]))
        elif kind == "h":
            sx, sy, ox, oy, hit, exposure, groups, count = (round(float(f)) for f in fields[1:9])
            scene.update(sx=sx, sy=sy, ox=ox, oy=oy, hit=hit, exposure=exposure, count=count, target=groups * exposure)
        elif kind == "D":
            scene["target"] *= 16
            scene["hires"] = True
        elif kind == "S":
            scene["fast"] = False
        elif kind in "aps":
            values = [float(f) for f in fields[1:LINE_FIELDS[kind] + 1]]
            scene["maps"].append(({"a": 0, "p": 1, "s": 2}[kind], values[0], values[1:] + [0.0] * (12 - len(values[1:]))))
    return scene


def render(scene):
    maps = scene["maps"][: scene["count"]] + [(0, 0.0, [0.0] * 12)] * max(0, scene["count"] - len(scene["maps"]))
    weight_sum = 0.0
    for _, w, _ in maps:
        weight_sum += w
    total = math.floor(weight_sum * 727 + 0.5)
    bands = []
    acc = 0
    for _, w, _ in maps:
        acc += round(w * 727)  # ties to even, like the program's conversion
        bands.append(acc)
    sx, sy, ox, oy, hit = scene["sx"], scene["sy"], scene["ox"], scene["oy"], scene["hit"]
    if scene["hires"]:
        xmin, xmax = -ox / sx, (640 - ox) / sx
        ymin, ymax = -oy / sy, (480 - oy) / sy
    hits = [0] * (640 * 480)
    big = [0] * (2560 * 1920) if scene["hires"] else None
    seed = scene["seed"] & 0xFFFFFFFF
    x = y = 0.0

    def pixel(v):
        if v != v or v in (math.inf, -math.inf):
            return None
        p = math.floor(v)
        return p

    def plot(px_value, py_value):
        py = pixel(py_value[0])
        if py is None:
            return
        py += py_value[1]
        if not -2**31 <= py < 2**31:
            return
        px = pixel(px_value[0])
        if px is None:
            return
        px += px_value[1]
        if not -2**31 <= px < 2**31:
            return
        if 0 <= px <= 639 and 0 <= py <= 479:
            hits[py * 640 + px] = min(hits[py * 640 + px] + hit, 2**31 - 1)

    groups = max(scene["target"], 0) + 1
    for _ in range(groups):
        for i in range(2048):
            seed = (seed * 1664525 + 1013904223) & 0xFFFFFFFF
            signed = seed - 2**32 if seed >= 2**31 else seed
            draw = (signed & 0x7FFFFFFF) % total
            chosen = next((k for k, band in enumerate(bands) if draw < band), None)
            if chosen is not None:
                kind, _, c = maps[chosen]
                x0, y0 = x, y
                if kind == 0:
                    x = (c[1] * y0 + c[0] * x0) + c[4]
                    y = (c[3] * y0 + c[2] * x0) + c[5]
                elif kind == 1:
                    den = (c[4] * y0 + c[3] * x0) + c[5]
                    if den == den and den != 0:
                        x = ((c[0] * x0 + c[1] * y0) + c[2]) / den
                    den = (c[9] * x0 + c[10] * y0) + c[11]
                    if den == den and den != 0:
                        y = ((c[6] * x0 + c[7] * y0) + c[8]) / den
                else:
                    x = (((((c[1] * x0) * y0 + (c[0] * x0) * x0) + (c[2] * y0) * y0) + c[3] * x0) + c[4] * y0) + c[5]
                    y = (((((c[7] * x0) * y0 + (c[6] * x0) * x0) + (c[8] * y0) * y0) + c[9] * x0) + c[10] * y0) + c[11]
            if scene["hires"]:
                if not (xmin < x < xmax and ymin < y < ymax):
                    continue
                y4 = math.floor((4 * sy) * y) + 4 * oy
                x4 = math.floor((4 * sx) * x) + 4 * ox
                if 0 <= x4 < 2560 and 0 <= y4 < 1920:
                    big[y4 * 2560 + x4] = min(big[y4 * 2560 + x4] + hit, 2**31 - 1)
                if i % 16:
                    continue
            plot((sx * x, ox), (sy * y, oy))
    return hits, big


def bmp(cells, width, height, exposure):
    header = b"BM" + struct.pack("<IHHI", 1078 + width * height, 0, 0, 1078)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, width * height, 0, 0, 256, 256)
    colours = b"".join(bytes((i, i, i, 0)) for i in range(256))
    pixels = bytes(min(c // exposure, 255) for c in cells)
    return header + info + colours + pixels


if __name__ == "__main__":
    folder, out = sys.argv[1], sys.argv[2]
    scene = parse(open(folder + "/MORVA.TXT", encoding="latin-1").read())
    hits, big = render(scene)
    open(out + "/MORVA.BMP", "wb").write(bmp(hits, 640, 480, scene["exposure"]))
    if big is not None:
        open(out + "/MORVAHD.BMP", "wb").write(bmp(big, 2560, 1920, scene["exposure"]))
