#!/usr/bin/env python3
"""Writes the SVG sources of Vaultrane's images into this folder.

The SVG files are the sources that scripts/render-images.sh turns into the
PNGs under resources/images.  Most of them share parts (the box mark, the
state badges, the glyphs), so they are written by this script rather than by
hand: change a colour or a shape here, run it, then run the render script.

Run: python3 resources/svg/generate.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Palette -------------------------------------------------------------------
BLUE = "#1787F0"          # accent: selected view mode, radio, info icons
BLUE_DARK = "#0160DB"     # hover twins of the tool-bar icons (matches hover text)
GREY = "#5F6368"          # neutral glyphs
GREY_LIGHT = "#8C8D8F"    # inactive glyphs
BORDER = "#BFBFBF"
ORANGE = "#FF8304"        # encrypted (locked), warnings
GREEN = "#1DB46C"         # shared, finished
MOUNT = "#0160DB"         # mounted (unlocked)
WHITE = "#FFFFFF"

OWN_BODY, OWN_LID = "#3D9DF5", "#1A7FE3"      # the user's own boxes
OTHER_BODY, OTHER_LID = "#26B0A8", "#13958E"  # boxes shared by another user


def svg(w, h, body, view=None):
    view = view or f"0 0 {w} {h}"
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="{view}">\n{body}</svg>\n')


def write(name, content):
    with open(os.path.join(HERE, name + ".svg"), "w", encoding="utf-8") as f:
        f.write(content)


# Logo: a white box with a keyhole on a blue rounded tile ----------------------

def logo():
    return svg(64, 64, f'''<defs><linearGradient id="t" x1="0" y1="0" x2="0" y2="1">
<stop offset="0" stop-color="#2CA0F8"/><stop offset="1" stop-color="#1279E6"/></linearGradient></defs>
<rect x="2" y="2" width="60" height="60" rx="14" fill="url(#t)"/>
<rect x="16" y="27" width="32" height="23" rx="3.5" fill="{WHITE}"/>
<rect x="12" y="15" width="40" height="10" rx="3" fill="{WHITE}"/>
<rect x="26" y="18.5" width="12" height="3" rx="1.5" fill="#1A86EE"/>
<circle cx="32" cy="35.5" r="3.6" fill="#1782EC"/>
<path d="M30.2 37.5 H33.8 L34.6 43.8 H29.4 Z" fill="#1782EC"/>
''')


def logo24():
    return svg(24, 24, f'''<rect x="0.5" y="0.5" width="23" height="23" rx="5.5" fill="#1A85EE"/>
<rect x="4" y="5" width="16" height="4" rx="1" fill="{WHITE}"/>
<rect x="5" y="10" width="14" height="9" rx="1.5" fill="{WHITE}"/>
<circle cx="12" cy="13.25" r="1.5" fill="#1A85EE"/>
<rect x="11.25" y="13" width="1.5" height="3.5" rx="0.5" fill="#1A85EE"/>
''')


def logo16():
    return svg(16, 16, f'''<rect x="0" y="0" width="16" height="16" rx="3.5" fill="#1A85EE"/>
<rect x="2" y="3" width="12" height="3" rx="0.75" fill="{WHITE}"/>
<rect x="3" y="7" width="10" height="6" rx="1" fill="{WHITE}"/>
<rect x="7" y="8" width="2" height="3" rx="0.6" fill="#1A85EE"/>
''')


# Box state icons, 48 x 48 ---------------------------------------------------

def person48(cx, cy, scale, fill, outline=None):
    """A person silhouette: head and shoulders, centred on (cx, cy)."""
    s = scale
    head = f'<circle cx="{cx}" cy="{cy - 4.2 * s:.2f}" r="{3.7 * s:.2f}"/>'
    sh = (f'<path d="M{cx - 6.6 * s:.2f} {cy + 7 * s:.2f} '
          f'C{cx - 6.6 * s:.2f} {cy + 2.6 * s:.2f} {cx - 3.6 * s:.2f} {cy + 1 * s:.2f} {cx:.2f} {cy + 1 * s:.2f} '
          f'C{cx + 3.6 * s:.2f} {cy + 1 * s:.2f} {cx + 6.6 * s:.2f} {cy + 2.6 * s:.2f} {cx + 6.6 * s:.2f} {cy + 7 * s:.2f} '
          f'Q{cx + 6.6 * s:.2f} {cy + 8 * s:.2f} {cx + 5.6 * s:.2f} {cy + 8 * s:.2f} '
          f'H{cx - 5.6 * s:.2f} Q{cx - 6.6 * s:.2f} {cy + 8 * s:.2f} {cx - 6.6 * s:.2f} {cy + 7 * s:.2f} Z"/>')
    out = ""
    if outline:
        out += (f'<g fill="{outline}" stroke="{outline}" stroke-width="3" '
                f'stroke-linejoin="round">{head}{sh}</g>\n')
    out += f'<g fill="{fill}">{head}{sh}</g>\n'
    return out


def box48(body, lid):
    return (f'<rect x="7" y="15" width="34" height="27" rx="3.5" fill="{body}"/>\n'
            f'<rect x="5" y="8" width="38" height="10" rx="2.5" fill="{lid}"/>\n'
            f'<rect x="18" y="11.5" width="12" height="3" rx="1.5" fill="{WHITE}" fill-opacity="0.45"/>\n')


def lock_glyph(cx, cy, s, fill, hole, opened):
    """Padlock centred on (cx, cy); s scales a 10-unit-high lock."""
    bw, bh = 7.4 * s, 5.6 * s
    bx, by = cx - bw / 2, cy + (0.4 if opened else -0.4) * s
    r = 2.1 * s
    lx, rx_ = cx - r, cx + r
    sw = 1.5 * s
    if opened:
        top = by - 3.3 * s
        shackle = (f'M{rx_:.2f} {by:.2f} V{top:.2f} A{r:.2f} {r:.2f} 0 0 0 {lx:.2f} {top:.2f} '
                   f'V{top + 0.6 * s:.2f}')
    else:
        top = by - 1.7 * s
        shackle = (f'M{lx:.2f} {by:.2f} V{top:.2f} A{r:.2f} {r:.2f} 0 0 1 {rx_:.2f} {top:.2f} V{by:.2f}')
    return (f'<path d="{shackle}" fill="none" stroke="{fill}" stroke-width="{sw:.2f}" stroke-linecap="round"/>\n'
            f'<rect x="{bx:.2f}" y="{by:.2f}" width="{bw:.2f}" height="{bh:.2f}" rx="{1.3 * s:.2f}" fill="{fill}"/>\n'
            f'<circle cx="{cx}" cy="{by + bh / 2:.2f}" r="{0.95 * s:.2f}" fill="{hole}"/>\n')


def share_glyph(cx, cy, s, color, width=1.2):
    """Three connected nodes, the usual share sign, centred on (cx, cy)."""
    a = (cx - 3.2 * s, cy)
    b = (cx + 2.6 * s, cy - 3.3 * s)
    c = (cx + 2.6 * s, cy + 3.3 * s)
    r = 1.55 * s
    return (f'<path d="M{b[0]:.2f} {b[1]:.2f} L{a[0]:.2f} {a[1]:.2f} L{c[0]:.2f} {c[1]:.2f}" '
            f'fill="none" stroke="{color}" stroke-width="{width * s:.2f}"/>\n'
            + "".join(f'<circle cx="{p[0]:.2f}" cy="{p[1]:.2f}" r="{r:.2f}" fill="{color}"/>\n'
                      for p in (a, b, c)))


def badge48(cx, cy, color, inner):
    return (f'<circle cx="{cx}" cy="{cy}" r="9.5" fill="{WHITE}"/>\n'
            f'<circle cx="{cx}" cy="{cy}" r="8" fill="{color}"/>\n' + inner)


def state48(other, shared, lock):
    body, lid = (OTHER_BODY, OTHER_LID) if other else (OWN_BODY, OWN_LID)
    out = box48(body, lid)
    if other:
        out += person48(28.2, 29.2, 0.8, WHITE)
        out += person48(21.4, 29.6, 0.92, WHITE, outline=body)
    else:
        out += person48(24, 29, 1.0, WHITE)
    if shared:
        out += badge48(38.5, 9.5, GREEN, share_glyph(38.5, 9.5, 1.0, WHITE, 1.3))
    if lock == "lock":
        out += badge48(38.5, 38.5, ORANGE, lock_glyph(38.5, 38.5, 1.0, WHITE, ORANGE, False))
    elif lock == "unlock":
        out += badge48(38.5, 38.5, MOUNT, lock_glyph(38.5, 38.5, 1.0, WHITE, MOUNT, True))
    return svg(48, 48, out)


# Box state icons, 18 x 16 (pixel-fitted) -------------------------------------
# Too small for round badges: the state glyphs themselves, coloured, sit on the
# box's right edge with a one-pixel white outline.

def lock16(color, opened):
    if opened:
        shackle = "M16.5 11.5 V8.5 A2 2 0 0 0 12.5 8.5 V9.5"
    else:
        shackle = "M12.5 11.5 V9.5 A2 2 0 0 1 16.5 9.5 V11.5"
    parts = (f'<path d="{shackle}" fill="none" stroke-width="{{w}}" stroke="{{c}}"/>'
             f'<rect x="11" y="11" width="7" height="5" rx="1" fill="{{c}}" stroke="{{c}}" stroke-width="{{o}}"/>')
    return (parts.format(w=3, c=WHITE, o=2) + "\n" + parts.format(w=1, c=color, o=0) + "\n"
            + f'<rect x="14" y="12.5" width="1" height="2" fill="{WHITE}"/>\n')


def share16(color):
    nodes = ((16.5, 1.5), (12.5, 4), (16.5, 6.5))
    lines = "M16.5 1.5 L12.5 4 L16.5 6.5"
    out = (f'<path d="{lines}" fill="none" stroke="{WHITE}" stroke-width="3"/>'
           + "".join(f'<circle cx="{x}" cy="{y}" r="2.3" fill="{WHITE}"/>' for x, y in nodes) + "\n")
    out += (f'<path d="{lines}" fill="none" stroke="{color}" stroke-width="1"/>'
            + "".join(f'<circle cx="{x}" cy="{y}" r="1.4" fill="{color}"/>' for x, y in nodes) + "\n")
    return out


def state16(other, shared, lock):
    body, lid = (OTHER_BODY, OTHER_LID) if other else (OWN_BODY, OWN_LID)
    out = (f'<rect x="1" y="4" width="12" height="12" rx="1.2" fill="{body}"/>\n'
           f'<rect x="0" y="2" width="14" height="3" rx="0.8" fill="{lid}"/>\n'
           f'<rect x="5" y="3" width="4" height="1" fill="{WHITE}" fill-opacity="0.5"/>\n')
    if other:
        out += (f'<g fill="{WHITE}" fill-opacity="0.7"><rect x="8" y="6" width="3" height="3" rx="1.2"/>'
                f'<rect x="7" y="10" width="5" height="3" rx="1.2"/></g>\n'
                f'<g fill="{body}"><rect x="2" y="6" width="6" height="6" rx="2.5"/>'
                f'<rect x="1" y="11" width="10" height="5" rx="2"/></g>\n'
                f'<g fill="{WHITE}"><rect x="3" y="7" width="4" height="4" rx="1.6"/>'
                f'<rect x="2" y="12" width="8" height="3" rx="1.4"/></g>\n')
    else:
        out += (f'<g fill="{WHITE}"><rect x="5" y="6" width="4" height="4" rx="1.6"/>'
                f'<rect x="3" y="11" width="8" height="3" rx="1.4"/></g>\n')
    if lock:
        out += lock16(ORANGE if lock == "lock" else MOUNT, lock == "unlock")
    if shared:
        out += share16(GREEN)
    return svg(18, 16, out)


# Message box icons, 56 x 56 -------------------------------------------------

def msg_question():
    return svg(56, 56, f'''<circle cx="28" cy="28" r="26" fill="{BLUE}"/>
<path d="M21.6 22.4 C21.6 18.4 24.4 15.8 28.1 15.8 C31.9 15.8 34.6 18.3 34.6 21.8 C34.6 24.9 32.6 26.3 30.6 27.6 C29 28.6 28 29.8 28 31.8 V33" fill="none" stroke="{WHITE}" stroke-width="4.4" stroke-linecap="round" stroke-linejoin="round"/>
<circle cx="28" cy="40.2" r="2.8" fill="{WHITE}"/>
''')


def msg_remind():
    return svg(56, 56, f'''<circle cx="28" cy="28" r="26" fill="{BLUE}"/>
<circle cx="28" cy="16.8" r="3" fill="{WHITE}"/>
<rect x="25.6" y="23" width="4.8" height="17.5" rx="2.4" fill="{WHITE}"/>
''')


def msg_warning():
    return svg(56, 56, f'''<path d="M28 6.5 L51.5 47.5 H4.5 Z" fill="{ORANGE}" stroke="{ORANGE}" stroke-width="7" stroke-linejoin="round"/>
<rect x="25.6" y="19" width="4.8" height="16.5" rx="2.4" fill="{WHITE}"/>
<circle cx="28" cy="42" r="2.9" fill="{WHITE}"/>
''')


def msg_finish():
    return svg(56, 56, f'''<circle cx="28" cy="28" r="26" fill="{GREEN}"/>
<path d="M16.5 28.8 L24.6 36.6 L39.8 21.2" fill="none" stroke="{WHITE}" stroke-width="4.6" stroke-linecap="round" stroke-linejoin="round"/>
''')


# Tool-bar icons, 12 x 12 ----------------------------------------------------

def tb_new(c):
    return svg(12, 12, f'''<rect x="5" y="0" width="1" height="11" fill="{c}"/>
<rect x="0" y="5" width="11" height="1" fill="{c}"/>
''')


def tb_delete(c):
    return svg(12, 12, f'''<path d="M4.5 2 V0.5 H7.5 V2" fill="none" stroke="{c}" stroke-width="1"/>
<rect x="1" y="2" width="10" height="1" fill="{c}"/>
<path d="M2.5 3 V9.5 A1 1 0 0 0 3.5 10.5 H8.5 A1 1 0 0 0 9.5 9.5 V3" fill="none" stroke="{c}" stroke-width="1"/>
<path d="M4.5 5 V9 M7.5 5 V9" stroke="{c}" stroke-width="1"/>
''')


def tb_code(c):
    # a key: password settings
    return svg(12, 12, f'''<circle cx="3.8" cy="6" r="2.4" fill="none" stroke="{c}" stroke-width="1.3"/>
<path d="M6.2 6 H11" stroke="{c}" stroke-width="1.3"/>
<path d="M9.4 6 V8.6 M7.8 6 V8" stroke="{c}" stroke-width="1.2"/>
''')


def share_nodes(nodes, r, color, width):
    """The share sign: nodes[0] linked to the other two."""
    (ax, ay), (bx, by), (cx, cy) = nodes
    return (f'<path d="M{bx} {by} L{ax} {ay} L{cx} {cy}" fill="none" stroke="{color}" stroke-width="{width}"/>\n'
            + "".join(f'<circle cx="{x}" cy="{y}" r="{r}" fill="{color}"/>\n' for x, y in nodes))


def tb_share(c):
    return svg(12, 12, share_nodes(((2.5, 6.5), (9.5, 2.5), (9.5, 10.5)), 1.6, c, 1))


# Title bar icons ------------------------------------------------------------

def tt_close():
    return svg(12, 12, f'<path d="M1.5 1.5 L10.5 10.5 M10.5 1.5 L1.5 10.5" stroke="{GREY}" stroke-width="1.3" stroke-linecap="round"/>\n')


def tt_min():
    return svg(12, 12, f'<rect x="1" y="6" width="10" height="1" fill="{GREY}"/>\n')


def tt_menu():
    return svg(12, 12, f'''<rect x="1" y="2" width="10" height="1" fill="{GREY}"/>
<rect x="1" y="6" width="10" height="1" fill="{GREY}"/>
<rect x="1" y="10" width="10" height="1" fill="{GREY}"/>
''')


def tt_return():
    return svg(18, 18, f'<path d="M11 3.5 L5.5 9 L11 14.5" fill="none" stroke="{GREY}" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>\n')


# Password edit eyes, 18 x 16 ------------------------------------------------

EYE = ('M1.6 8 C3.6 4.6 6.2 3.2 9 3.2 C11.8 3.2 14.4 4.6 16.4 8 '
       'C14.4 11.4 11.8 12.8 9 12.8 C6.2 12.8 3.6 11.4 1.6 8 Z')


def eye_visible():
    return svg(18, 16, f'''<path d="{EYE}" fill="none" stroke="{GREY_LIGHT}" stroke-width="1.3" stroke-linejoin="round"/>
<circle cx="9" cy="8" r="2.5" fill="{GREY_LIGHT}"/>
''')


def eye_invisible():
    return svg(18, 16, f'''<defs><mask id="m"><rect width="18" height="16" fill="#fff"/>
<path d="M2.5 14.5 L15.5 1.5" stroke="#000" stroke-width="3.4"/></mask></defs>
<g mask="url(#m)"><path d="{EYE}" fill="none" stroke="{GREY_LIGHT}" stroke-width="1.3" stroke-linejoin="round"/>
<circle cx="9" cy="8" r="2.5" fill="{GREY_LIGHT}"/></g>
<path d="M3 14 L15 2" stroke="{GREY_LIGHT}" stroke-width="1.3" stroke-linecap="round"/>
''')


# Small indicators -----------------------------------------------------------

def arrow_down():
    # The header paints this 12 x 12 image with its top 3.5 px above the text's
    # middle, so the chevron sits in the upper half of the image.
    return svg(12, 12, f'<path d="M2.5 2 L6 5.5 L9.5 2" fill="none" stroke="{GREY}" stroke-width="1.3" stroke-linecap="round" stroke-linejoin="round"/>\n')


def style_arrow16():
    return svg(16, 16, f'<path d="M4 6 L8 10 L12 6" fill="none" stroke="{GREY}" stroke-width="1.5" stroke-linecap="round" stroke-linejoin="round"/>\n')


def radio(checked):
    if checked:
        return svg(16, 16, f'''<circle cx="8" cy="8" r="7.5" fill="{BLUE}"/>
<circle cx="8" cy="8" r="3" fill="{WHITE}"/>
''')
    return svg(16, 16, f'<circle cx="8" cy="8" r="7" fill="{WHITE}" stroke="{BORDER}" stroke-width="1"/>\n')


def view_icons(c):
    return svg(14, 14, f'''<rect x="1" y="1" width="5" height="5" rx="1" fill="{c}"/>
<rect x="8" y="1" width="5" height="5" rx="1" fill="{c}"/>
<rect x="1" y="8" width="5" height="5" rx="1" fill="{c}"/>
<rect x="8" y="8" width="5" height="5" rx="1" fill="{c}"/>
''')


def view_list(c):
    return svg(14, 14, "".join(
        f'<rect x="1" y="{y}" width="2" height="2" rx="0.5" fill="{c}"/>\n'
        f'<rect x="4.5" y="{y}" width="8.5" height="2" rx="0.5" fill="{c}"/>\n' for y in (2, 6, 10)))


def lock14(color, opened):
    shackle = ("M9.5 7 V3.8 A2.5 2.5 0 0 0 4.5 3.8 V4.6" if opened
               else "M4.5 7 V4.5 A2.5 2.5 0 0 1 9.5 4.5 V7")
    return svg(14, 14, f'''<path d="{shackle}" fill="none" stroke="{color}" stroke-width="1.2"/>
<rect x="2" y="7" width="10" height="6" rx="1.5" fill="{color}"/>
<rect x="6.25" y="8.5" width="1.5" height="3" rx="0.75" fill="{WHITE}"/>
''')


def ind_lock():
    return lock14(ORANGE, False)


def ind_unlock():
    return lock14(MOUNT, True)


def ind_share():
    return svg(14, 14, share_nodes(((3, 7), (10, 3), (10, 11)), 2, GREEN, 1))


def user16():
    return svg(16, 16, f'''<circle cx="8" cy="8" r="8" fill="#DCEEFE"/>
<circle cx="8" cy="6" r="2.5" fill="{BLUE}"/>
<path d="M3.5 13 V12.2 C3.5 10.3 5.5 9.3 8 9.3 C10.5 9.3 12.5 10.3 12.5 12.2 V13 Z" fill="{BLUE}"/>
''')


def main():
    write("logo", logo())
    write("logo24", logo24())
    write("logo16", logo16())
    for other in (False, True):
        for shared in ((False, True) if not other else (False,)):
            for lock in (None, "lock", "unlock"):
                name = ("other" if other else "own") + ("_shared" if shared else "") + \
                       (f"_{lock}" if lock else "")
                write(f"box48_{name}", state48(other, shared, lock))
                write(f"box16_{name}", state16(other, shared, lock))
    write("msg_question", msg_question())
    write("msg_remind", msg_remind())
    write("msg_warning", msg_warning())
    write("msg_finish", msg_finish())
    for suffix, c in (("", GREY), ("_blue", BLUE_DARK)):
        write(f"tool_new{suffix}", tb_new(c))
        write(f"tool_delete{suffix}", tb_delete(c))
        write(f"tool_code{suffix}", tb_code(c))
        write(f"tool_share{suffix}", tb_share(c))
    write("title_close", tt_close())
    write("title_minimise", tt_min())
    write("title_menu", tt_menu())
    write("title_return", tt_return())
    write("eye_visible", eye_visible())
    write("eye_invisible", eye_invisible())
    write("arrow_down", arrow_down())
    write("style_arrow16", style_arrow16())
    write("radio_checked", radio(True))
    write("radio_unchecked", radio(False))
    write("view_icons", view_icons(GREY_LIGHT))
    write("view_icons_selected", view_icons(BLUE))
    write("view_list", view_list(GREY_LIGHT))
    write("view_list_selected", view_list(BLUE))
    write("state_locked", ind_lock())
    write("state_mounted", ind_unlock())
    write("state_shared", ind_share())
    write("share_user", user16())


if __name__ == "__main__":
    main()
