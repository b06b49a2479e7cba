#!/usr/bin/env python3
"""Draws the program's 32 x 32, 16-colour icon as share/icons/velloran.xpm: a host window with a
picture sliding across it, trailed by the frames it has left behind; and the same drawn again for
16 x 16 pixels as velloran-16.xpm (the small sizes are drawn, never shrunk from a large one).
The .ico and the hicolor PNGs of these two sizes are made from them (see the README)."""
import sys

PALETTE = {
    ".": "None", "k": "#000000", "w": "#FFFFFF", "g": "#808080", "s": "#C0C0C0",
    "b": "#000080", "c": "#00FFFF", "B": "#0000FF", "y": "#FFFF00", "r": "#FF0000",
    "o": "#808000", "G": "#008000",
}


def canvas(size):
    """An empty picture of size x size pixels, and its filled-rectangle and outline painters."""
    px = [["." for _ in range(size)] for _ in range(size)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = c

    def box(x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            px[y0][x] = px[y1][x] = c
        for y in range(y0, y1 + 1):
            px[y][x0] = px[y][x1] = c

    return px, rect, box


def draw():
    px, rect, box = canvas(32)

    rect(1, 3, 30, 28, "c")      # the window's sky
    rect(1, 3, 30, 7, "b")       # title bar
    rect(26, 4, 29, 6, "s")
    rect(1, 23, 30, 28, "G")     # ground
    box(0, 2, 31, 29, "k")
    # frames left behind, fading
    for i, c in enumerate(["s", "g"]):
        x = 3 + 5 * i
        box(x, 12, x + 9, 20, c)
    # the picture itself: a sun over a hill
    rect(14, 11, 26, 21, "w")
    rect(15, 12, 25, 20, "B")
    rect(19, 13, 22, 16, "y")
    rect(15, 18, 25, 20, "o")
    box(14, 11, 26, 21, "k")
    # the direction of travel
    for i in range(4):
        px[25 - i][9 + i] = "r"
        px[25 + i if 25 + i < 29 else 28][9 + i] = "r"
    rect(9, 25, 20, 25, "r")
    return px


def draw16():
    """The same picture drawn for 16 x 16 pixels, not shrunk: window, trail, picture, arrow."""
    px, rect, box = canvas(16)

    rect(1, 2, 14, 13, "c")      # sky
    rect(1, 2, 14, 3, "b")       # title bar
    rect(1, 11, 14, 13, "G")     # ground
    box(0, 1, 15, 14, "k")
    box(2, 6, 6, 10, "s")        # a frame left behind
    rect(7, 5, 13, 10, "B")      # the picture
    rect(9, 6, 10, 7, "y")
    rect(8, 9, 12, 10, "o")
    box(7, 5, 13, 10, "k")
    rect(3, 12, 8, 12, "r")      # the direction of travel
    px[11][4] = px[13][4] = "r"
    return px


def write_xpm(path, px, name):
    used = sorted({c for row in px for c in row})
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("/* XPM */\nstatic const char *%s[] = {\n" % name)
        f.write('"%d %d %d 1",\n' % (len(px[0]), len(px), len(used)))
        for c in used:
            f.write('"%s c %s",\n' % (c, PALETTE[c]))
        f.write(",\n".join('"%s"' % "".join(row) for row in px))
        f.write("\n};\n")


def main(path):
    # The 16 x 16 icon beside the 32 x 32 one: velloran-16.xpm.
    write_xpm(path.replace(".xpm", "-16.xpm"), draw16(), "velloran16")
    px = draw()
    used = sorted({c for row in px for c in row})
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("/* XPM */\nstatic const char *velloran[] = {\n")
        f.write('"32 32 %d 1",\n' % len(used))
        for c in used:
            f.write('"%s c %s",\n' % (c, PALETTE[c]))
        f.write(",\n".join('"%s"' % "".join(row) for row in px))
        f.write("\n};\n")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "share/icons/velloran.xpm")
