# Draws the project's own small pictures (button glyphs, icons). Run from the repository root.
import zlib, struct
def png(path, w, h, px):
    raw = b''.join(b'\x00' + b''.join(bytes(px(x, y)) for x in range(w)) for y in range(h))
    def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    open(path, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0)) + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
T = (0, 0, 0, 0)
def strip(draw):
    # Two 16x16 pictures side by side: enabled (colour) and disabled (grey).
    def px(x, y):
        c = draw(x % 16, y)
        if c is None: return T
        if x >= 16:
            g = (c[0] * 30 + c[1] * 59 + c[2] * 11) // 100
            g = 128 + g // 3
            return (g, g, g, 255)
        return c + (255,)
    return px
def magnifier(x, y):
    dx, dy = x - 6, y - 6
    d = dx * dx + dy * dy
    if 16 <= d <= 26: return (20, 40, 120)
    if d < 16: return (200, 225, 255)
    if x == y and 9 <= x <= 14: return (90, 60, 20)
    if (x == y + 1 or y == x + 1) and 10 <= x <= 14: return (90, 60, 20)
    return None
def listglyph(x, y):
    if y in (3, 7, 11) and 2 <= x <= 3: return (0, 110, 0)
    if y in (3, 7, 11) and 5 <= x <= 13: return (30, 30, 30)
    if y in (4, 8, 12) and 2 <= x <= 3: return (0, 110, 0)
    return None
def calendar(x, y):
    if not (1 <= x <= 14 and 2 <= y <= 14): return T
    if y <= 4: return (190, 30, 30, 255)
    if x in (1, 14) or y == 14: return (60, 60, 60, 255)
    if (x - 1) % 3 == 0 or (y - 5) % 3 == 0: return (150, 150, 150, 255)
    return (255, 255, 255, 255)
png('contracts/components/images/search.png', 32, 16, strip(magnifier))
png('contracts/components/images/list.png', 32, 16, strip(listglyph))
png('contracts/components/images/calendar.png', 16, 16, calendar)
def icon(truecolor):
    def px(x, y):
        if not (2 <= x <= 29 and 3 <= y <= 28): return T
        if y <= 8: return (0, 0, 128, 255) if not truecolor else (20, 60, 150, 255)
        if x in (2, 29) or y == 28: return (0, 0, 0, 255)
        if y in (12, 16, 20, 24) and 6 <= x <= 25: return (128, 128, 128, 255) if not truecolor else (90, 110, 140, 255)
        if 6 <= x <= 9 and y in (11, 15, 19, 23): return (0, 128, 0, 255) if not truecolor else (40, 160, 70, 255)
        return (255, 255, 255, 255)
    return px
png('screen/images/KMB61200-16c.png', 32, 32, icon(False))
png('screen/images/KMB61200.png', 32, 32, icon(True))
def page(x, y):
    if 3 <= x <= 12 and 1 <= y <= 14:
        if x in (3, 12) or y in (1, 14): return (60, 60, 60, 255)
        if y in (4, 6, 8) and 5 <= x <= 10: return (120, 120, 120, 255)
        return (255, 255, 255, 255)
    return None
def preview(x, y):
    dx, dy = x - 10, y - 10
    d = dx * dx + dy * dy
    if 6 <= d <= 12: return (20, 40, 120, 255)
    if d < 6: return (200, 225, 255, 255)
    if x - 10 == y - 10 and x >= 13: return (90, 60, 20, 255)
    return page(x, y) or T
def printer(x, y):
    if 4 <= x <= 11 and 1 <= y <= 5: return (255, 255, 255, 255) if 5 <= x <= 10 and y >= 2 else (60, 60, 60, 255)
    if 1 <= x <= 14 and 6 <= y <= 11:
        if x in (1, 14) or y in (6, 11): return (40, 40, 40, 255)
        return (170, 170, 170, 255) if not (x == 12 and y == 8) else (0, 200, 0, 255)
    if 4 <= x <= 11 and 12 <= y <= 14: return (255, 255, 255, 255) if y < 14 else (60, 60, 60, 255)
    return T
def disk(x, y):
    if 1 <= x <= 14 and 1 <= y <= 14:
        if x in (1, 14) or y in (1, 14): return (20, 20, 80, 255)
        if 4 <= x <= 11 and 2 <= y <= 6: return (230, 230, 230, 255)
        if 4 <= x <= 11 and 9 <= y <= 13: return (200, 200, 200, 255)
        return (50, 70, 160, 255)
    return T
png('contracts/forms/images/preview.png', 16, 16, preview)
png('contracts/forms/images/print.png', 16, 16, printer)
png('contracts/forms/images/saveas.png', 16, 16, disk)
