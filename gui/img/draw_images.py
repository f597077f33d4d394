#!/usr/bin/env python3
"""Draws the front end's pictures: the main window background, the four module
button pictures (normal and pressed) and the two application icons.

Needs Debian's python3-pil and fonts-dejavu-core. The pictures are kept in the
repository, so building does not need this script; run it again after changing
it:  /usr/bin/python3 gui/img/draw_images.py
"""

import math
import os
from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SS = 4  # supersampling factor


def font(size, bold=True):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def vgradient(size, top, bottom):
    w, h = size
    img = Image.new("RGBA", size)
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w, y)], fill=lerp(top, bottom, y / max(1, h - 1)))
    return img


def centred_text(d, box, text, fnt, fill, shadow=None):
    x0, y0, x1, y1 = box
    l, t, r, b = d.textbbox((0, 0), text, font=fnt)
    x = x0 + (x1 - x0 - (r - l)) / 2 - l
    y = y0 + (y1 - y0 - (b - t)) / 2 - t
    if shadow:
        d.text((x + shadow[0], y + shadow[1]), text, font=fnt, fill=shadow[2])
    d.text((x, y), text, font=fnt, fill=fill)


# --- pedigree glyphs ---------------------------------------------------------

def male(d, cx, cy, r, fill, outline, width):
    d.rectangle([cx - r, cy - r, cx + r, cy + r], fill=fill, outline=outline, width=width)


def female(d, cx, cy, r, fill, outline, width):
    d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=fill, outline=outline, width=width)


def mating(d, sire, dam, child, line, width):
    """Pedigree chart connector: sire and dam joined, a drop line to the child."""
    (sx, sy), (dx, dy), (cx, cy) = sire, dam, child
    mid = ((sx + dx) / 2, sy)
    d.line([sire, dam], fill=line, width=width)
    d.line([mid, (mid[0], (sy + cy) / 2), (cx, (sy + cy) / 2), (cx, cy)], fill=line, width=width)


# --- main window background ---------------------------------------------------

def draw_background(path):
    W, H = 800 * SS, 600 * SS
    img = vgradient((W, H), (10, 46, 74, 255), (52, 128, 150, 255))
    d = ImageDraw.Draw(img)

    # soft light behind the title
    glow = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    gd = ImageDraw.Draw(glow)
    gd.ellipse([W * 0.15, -H * 0.35, W * 0.85, H * 0.45], fill=(140, 210, 230, 90))
    glow = glow.filter(ImageFilter.GaussianBlur(60 * SS))
    img = Image.alpha_composite(img, glow)
    d = ImageDraw.Draw(img)

    # rolling pasture in three bands
    def hill(base, amp, period, phase, colour):
        pts = [(0, H)]
        for x in range(0, W + 1, 4 * SS):
            y = base + amp * math.sin(x / (period * SS) + phase) + amp * 0.4 * math.sin(x / (period * 0.37 * SS))
            pts.append((x, y))
        pts.append((W, H))
        d.polygon(pts, fill=colour)

    hill(H * 0.62, 14 * SS, 70, 0.6, (46, 108, 84, 255))
    hill(H * 0.70, 12 * SS, 55, 2.1, (36, 92, 68, 255))
    hill(H * 0.80, 10 * SS, 90, 4.0, (26, 72, 54, 255))

    # a faint pedigree chart across the sky: four generations
    line = (200, 236, 245, 110)
    fill_m = (120, 190, 220, 90)
    fill_f = (240, 180, 200, 90)
    edge = (220, 245, 250, 150)
    wdt = 2 * SS
    r = 9 * SS
    top = 180 * SS
    gens = [
        [(0.09, 'm'), (0.19, 'f'), (0.31, 'm'), (0.41, 'f'), (0.59, 'm'), (0.69, 'f'), (0.81, 'm'), (0.91, 'f')],
        [(0.14, 'm'), (0.36, 'f'), (0.64, 'm'), (0.86, 'f')],
        [(0.25, 'm'), (0.75, 'f')],
        [(0.5, 'm')],
    ]
    ys = [top, top + 50 * SS, top + 100 * SS, top + 150 * SS]
    # bring the chart to the left and right so the title stays clear
    for g in range(3):
        for k in range(0, len(gens[g]), 2):
            s = (gens[g][k][0] * W, ys[g])
            m = (gens[g][k + 1][0] * W, ys[g])
            c = (gens[g + 1][k // 2][0] * W, ys[g + 1])
            mating(d, s, m, c, line, wdt)
    for g, row in enumerate(gens):
        for x, sex in row:
            (male if sex == 'm' else female)(d, x * W, ys[g], r, fill_m if sex == 'm' else fill_f, edge, wdt)

    # title block
    title = font(64 * SS)
    centred_text(d, (0, 30 * SS, W, 110 * SS), "HALDORIN", title, (255, 255, 255, 255),
                 shadow=(3 * SS, 3 * SS, (0, 20, 40, 160)))
    centred_text(d, (0, 108 * SS, W, 140 * SS), "Pedigree Toolkit for Animal Breeding",
                 font(20 * SS, bold=False), (215, 240, 248, 255))
    d.line([(250 * SS, 146 * SS), (550 * SS, 146 * SS)], fill=(215, 240, 248, 160), width=SS)

    # panel behind the module buttons. The picture is stretched over the
    # window's central area, so the buttons land at about y 411 to 541 of this
    # picture in both builds; the panel frames them with room to spare, and
    # nothing is written where a button covers it (the buttons carry their names).
    panel = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    pd = ImageDraw.Draw(panel)
    pd.rounded_rectangle([135 * SS, 396 * SS, 670 * SS, 556 * SS], radius=18 * SS,
                         fill=(8, 30, 44, 120), outline=(200, 236, 245, 120), width=SS)
    img = Image.alpha_composite(img, panel)
    d = ImageDraw.Draw(img)

    centred_text(d, (0, 566 * SS, W, 586 * SS), "HALDOR Pedigree Toolkit  \u00b7  version 1.0  \u00b7  OVRI, TOLMA",
                 font(11 * SS, bold=False), (190, 225, 215, 255))

    img = img.resize((800, 600), Image.LANCZOS).convert("RGB")
    img.save(path, "JPEG", quality=90)


# --- module buttons -------------------------------------------------------------

PALETTE = {
    "check": ((58, 160, 88), (24, 102, 52)),
    "trace": ((60, 130, 200), (26, 74, 140)),
    "stack": ((222, 150, 48), (160, 90, 16)),
    "get_f": ((176, 76, 150), (110, 34, 92)),
}
LABEL = {"check": "CHECK", "trace": "TRACE", "stack": "STACK", "get_f": "GET F"}


def glyph_check(d, box, ink, accent):
    x0, y0, x1, y1 = box
    w = x1 - x0
    # a sheet with lines of a pedigree list
    sheet = [x0 + w * 0.18, y0 + w * 0.06, x0 + w * 0.72, y0 + w * 0.80]
    d.rounded_rectangle(sheet, radius=w * 0.05, fill=(255, 255, 255, 255), outline=ink, width=int(w * 0.03))
    for i in range(4):
        yy = sheet[1] + w * (0.16 + 0.14 * i)
        d.line([(sheet[0] + w * 0.08, yy), (sheet[2] - w * 0.10, yy)], fill=(150, 160, 170, 255), width=int(w * 0.035))
    # a magnifier with a tick in it
    cx, cy, r = x0 + w * 0.62, y0 + w * 0.58, w * 0.20
    d.line([(cx + r * 0.7, cy + r * 0.7), (cx + r * 1.6, cy + r * 1.6)], fill=ink, width=int(w * 0.09))
    d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=(235, 250, 238, 255), outline=ink, width=int(w * 0.05))
    d.line([(cx - r * 0.5, cy), (cx - r * 0.1, cy + r * 0.45), (cx + r * 0.55, cy - r * 0.45)],
           fill=accent, width=int(w * 0.06), joint="curve")


def glyph_trace(d, box, ink, accent):
    x0, y0, x1, y1 = box
    w = x1 - x0
    r = w * 0.075
    lw = int(w * 0.035)
    grey = (170, 180, 190, 255)
    gp = [(0.12, 'm'), (0.34, 'f'), (0.66, 'm'), (0.88, 'f')]
    par = [(0.23, 'm'), (0.77, 'f')]
    y = [y0 + w * 0.10, y0 + w * 0.42, y0 + w * 0.74]
    # the traced ancestry (sire's side) in the accent colour, the rest grey
    mating(d, (x0 + gp[0][0] * w, y[0]), (x0 + gp[1][0] * w, y[0]), (x0 + par[0][0] * w, y[1]), accent, lw * 2)
    mating(d, (x0 + gp[2][0] * w, y[0]), (x0 + gp[3][0] * w, y[0]), (x0 + par[1][0] * w, y[1]), grey, lw)
    mating(d, (x0 + par[0][0] * w, y[1]), (x0 + par[1][0] * w, y[1]), (x0 + 0.5 * w, y[2]), accent, lw * 2)
    for i, (x, s) in enumerate(gp):
        hot = i < 2
        (male if s == 'm' else female)(d, x0 + x * w, y[0], r, (255, 255, 255, 255) if hot else (230, 232, 236, 255),
                                       accent if hot else grey, lw)
    for x, s in par:
        (male if s == 'm' else female)(d, x0 + x * w, y[1], r, (255, 255, 255, 255), accent if s == 'm' else grey, lw)
    male(d, x0 + 0.5 * w, y[2], r * 1.25, accent, ink, lw)


def glyph_stack(d, box, ink, accent):
    x0, y0, x1, y1 = box
    w = x1 - x0
    lw = int(w * 0.03)
    # generations as layers, oldest on top, each row of animals
    for i in range(3):
        top = y0 + w * (0.06 + 0.26 * i)
        layer = [x0 + w * 0.08, top, x1 - w * 0.08, top + w * 0.20]
        d.rounded_rectangle(layer, radius=w * 0.05, fill=(255, 255, 255, 255), outline=ink, width=lw)
        n = 4 - i
        for k in range(n):
            cx = layer[0] + (layer[2] - layer[0]) * (k + 1) / (n + 1)
            cy = (layer[1] + layer[3]) / 2
            rr = w * 0.045
            (male if k % 2 == 0 else female)(d, cx, cy, rr, accent, ink, max(1, lw // 2))
    # arrow down the side: parents before progeny
    ax = x1 - w * 0.02
    d.line([(ax, y0 + w * 0.14), (ax, y0 + w * 0.70)], fill=ink, width=lw * 2)
    d.polygon([(ax - w * 0.07, y0 + w * 0.66), (ax + w * 0.07, y0 + w * 0.66), (ax, y0 + w * 0.80)], fill=ink)


def glyph_get_f(d, box, ink, accent):
    x0, y0, x1, y1 = box
    w = x1 - x0
    lw = int(w * 0.035)
    # two paths from a common ancestor meet again in one animal: inbreeding
    top = (x0 + w * 0.5, y0 + w * 0.08)
    left = (x0 + w * 0.18, y0 + w * 0.42)
    right = (x0 + w * 0.82, y0 + w * 0.42)
    bottom = (x0 + w * 0.5, y0 + w * 0.76)
    d.line([top, left, bottom], fill=accent, width=lw * 2, joint="curve")
    d.line([top, right, bottom], fill=accent, width=lw * 2, joint="curve")
    r = w * 0.08
    female(d, top[0], top[1], r, (255, 255, 255, 255), ink, lw)
    male(d, left[0], left[1], r, (255, 255, 255, 255), ink, lw)
    female(d, right[0], right[1], r, (255, 255, 255, 255), ink, lw)
    d.ellipse([bottom[0] - r * 1.5, bottom[1] - r * 1.5, bottom[0] + r * 1.5, bottom[1] + r * 1.5],
              fill=accent, outline=ink, width=lw)
    centred_text(d, (bottom[0] - r * 1.5, bottom[1] - r * 1.5, bottom[0] + r * 1.5, bottom[1] + r * 1.5),
                 "F", font(int(w * 0.16)), (255, 255, 255, 255))


GLYPHS = {"check": glyph_check, "trace": glyph_trace, "stack": glyph_stack, "get_f": glyph_get_f}


def draw_button(name, pressed, path):
    W, H = 95 * SS, 104 * SS
    light, dark = PALETTE[name]
    img = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    off = 2 * SS if pressed else 0
    # drop shadow (smaller when pressed)
    shadow = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    sd = ImageDraw.Draw(shadow)
    sd.rounded_rectangle([5 * SS, (7 + (1 if pressed else 3)) * SS, W - 5 * SS, H - 2 * SS], radius=16 * SS,
                         fill=(0, 0, 0, 70 if pressed else 110))
    shadow = shadow.filter(ImageFilter.GaussianBlur(3 * SS))
    img = Image.alpha_composite(img, shadow)

    tile = [4 * SS, 3 * SS + off, W - 4 * SS, H - 6 * SS + off]
    top, bottom = (lerp(light, dark, 0.35), dark) if pressed else (lerp(light, (255, 255, 255), 0.25), light)
    grad = vgradient((W, H), top + (255,), bottom + (255,))
    mask = Image.new("L", (W, H), 0)
    ImageDraw.Draw(mask).rounded_rectangle(tile, radius=16 * SS, fill=255)
    img.paste(grad, (0, 0), mask)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle(tile, radius=16 * SS, outline=dark + (255,), width=2 * SS)
    if not pressed:  # glossy highlight on the upper half
        gloss = Image.new("RGBA", (W, H), (0, 0, 0, 0))
        gdraw = ImageDraw.Draw(gloss)
        gdraw.rounded_rectangle([tile[0] + 3 * SS, tile[1] + 3 * SS, tile[2] - 3 * SS, tile[1] + 34 * SS],
                                radius=13 * SS, fill=(255, 255, 255, 55))
        img = Image.alpha_composite(img, gloss)
        d = ImageDraw.Draw(img)

    # white card for the glyph
    card = [tile[0] + 10 * SS, tile[1] + 9 * SS, tile[2] - 10 * SS, tile[1] + 71 * SS]
    d.rounded_rectangle(card, radius=9 * SS, fill=(250, 252, 253, 255) if not pressed else (228, 232, 236, 255))
    cw = card[2] - card[0]
    gbox = [card[0] + cw * 0.08, card[1] + 4 * SS, card[2] - cw * 0.08, card[1] + 4 * SS + cw * 0.84]
    GLYPHS[name](d, gbox, (40, 50, 60, 255), dark + (255,))

    centred_text(d, (tile[0], tile[1] + 73 * SS, tile[2], tile[3] - 2 * SS), LABEL[name], font(12 * SS),
                 (255, 255, 255, 255), shadow=(SS, SS, dark + (255,)))
    img.resize((95, 104), Image.LANCZOS).save(path, "PNG")


# --- icons ------------------------------------------------------------------------

def draw_icon(path, base, accent):
    S = 256 * SS
    img = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([8 * SS, 8 * SS, S - 8 * SS, S - 8 * SS], radius=52 * SS, fill=base + (255,),
                        outline=lerp(base, (0, 0, 0), 0.4) + (255,), width=6 * SS)
    white = (255, 255, 255, 255)
    lw = 14 * SS
    r = 30 * SS
    sire, dam, child = (76 * SS, 84 * SS), (180 * SS, 84 * SS), (128 * SS, 182 * SS)
    mating(d, sire, dam, child, white, lw)
    male(d, sire[0], sire[1], r, accent + (255,), white, 10 * SS)
    female(d, dam[0], dam[1], r, accent + (255,), white, 10 * SS)
    male(d, child[0], child[1], r, white, white, 10 * SS)
    centred_text(d, (child[0] - r, child[1] - r, child[0] + r, child[1] + r), "H", font(40 * SS), base + (255,))
    big = img.resize((256, 256), Image.LANCZOS)
    big.save(path, format="ICO", sizes=[(16, 16), (24, 24), (32, 32), (48, 48), (64, 64), (128, 128), (256, 256)])


def main():
    draw_background(os.path.join(HERE, "main.jpg"))
    for name in PALETTE:
        draw_button(name, False, os.path.join(HERE, name + ".png"))
        draw_button(name, True, os.path.join(HERE, name + "_hov.png"))
    draw_icon(os.path.join(HERE, "icon2.ico"), (18, 84, 118), (72, 170, 210))
    draw_icon(os.path.join(HERE, "icon.ico"), (30, 104, 70), (90, 190, 120))


if __name__ == "__main__":
    main()
