#!/usr/bin/env python3
"""Measures a screenshot of the game window (a binary PPM file, as `import -depth 8` writes it).

    frame.py IMAGE QUERY...

prints one number per query, separated by blanks. A query is MEASURE@x0,y0,x1,y1 with the
region in fractions of the image from its top-left corner, so the same query fits any window
size; unless said otherwise every second pixel in each direction is looked at. Measures:

  white            pixels of the HUD's white text (light and colourless), every pixel looked at
  grey             share (0..1) of the clear colour (51, 51, 51), the background behind the woods
  orange           pixels of the creature's orange wings, lit or in shade
  diff:OTHER.ppm   mean absolute channel difference to another image of the same size (0..255)
  size             (no region) the image's width and height
"""
import sys

STEP = 2


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    # Header: magic, width, height, maxval, separated by whitespace (and perhaps comments).
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        start = pos
        while pos < len(data) and not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    if fields[0] != b"P6":
        raise SystemExit(f"{path}: not a binary PPM")
    width, height, maxval = int(fields[1]), int(fields[2]), int(fields[3])
    pixels = data[pos:]
    if maxval > 255:
        # 16-bit samples, big-endian: keep the high bytes.
        pixels = pixels[0::2]
    if len(pixels) < width * height * 3:
        raise SystemExit(f"{path}: truncated image")
    return width, height, pixels


def region(image, box, step=STEP):
    width, height, pixels = image
    x0, y0, x1, y1 = box
    xa, xb = int(x0 * width), int(x1 * width)
    ya, yb = int(y0 * height), int(y1 * height)
    for y in range(ya, yb, step):
        row = y * width * 3
        for x in range(xa, xb, step):
            i = row + x * 3
            yield pixels[i], pixels[i + 1], pixels[i + 2]


def measure(image, query):
    if query == "size":
        return f"{image[0]} {image[1]}"
    name, _, box_text = query.partition("@")
    box = [float(v) for v in box_text.split(",")]
    if len(box) != 4:
        raise SystemExit(f"bad region in {query}")
    if name == "white":
        # Anti-aliased glyphs blend into the scene: count their light, nearly colourless pixels.
        return str(sum(1 for r, g, b in region(image, box, 1)
                       if min(r, g, b) >= 160 and max(r, g, b) - min(r, g, b) <= 30))
    if name == "grey":
        count = grey = 0
        for r, g, b in region(image, box):
            count += 1
            if abs(r - 51) <= 2 and abs(g - 51) <= 2 and abs(b - 51) <= 2:
                grey += 1
        return f"{grey / max(count, 1):.3f}"
    if name == "orange":
        # Lit and shaded wing alike; tree bark, floor and mushroom caps stay out.
        return str(sum(1 for r, g, b in region(image, box)
                       if r >= 150 and 70 <= g <= 175 and b <= 40 and r >= 1.5 * g))
    if name == "yellow":
        # The menus' highlight: the chosen line and its bar, in the pollen's yellow.
        return str(sum(1 for r, g, b in region(image, box, 1)
                       if r >= 235 and 195 <= g <= 235 and b <= 60))
    if name.startswith("diff:"):
        other = read_ppm(name[5:])
        if other[:2] != image[:2]:
            raise SystemExit("images differ in size")
        total = count = 0
        for (r1, g1, b1), (r2, g2, b2) in zip(region(image, box), region(other, box)):
            total += abs(r1 - r2) + abs(g1 - g2) + abs(b1 - b2)
            count += 3
        return f"{total / max(count, 1):.2f}"
    raise SystemExit(f"unknown measure in {query}")


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    image = read_ppm(argv[1])
    print(" ".join(measure(image, q) for q in argv[2:]))


if __name__ == "__main__":
    main(sys.argv)
