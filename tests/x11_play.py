"""Playing the game's programs as a player would, on an X display (scripts/with-xvfb):
finding their windows, screenshots read back cell by cell, keys and the mouse through
xdotool, and the checks' tally. Shared by the end-to-end tests of the releases
(wine_e2e.py, linux_release_e2e.py)."""
import array
import os
import shutil
import subprocess
import tempfile
import time

from Xlib import X, Xatom, display

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COLS, ROWS = 80, 24
BACKGROUND = (0, 25, 0)
GREEN, HERO, MAGENTA = (0, 255, 0), (57, 250, 128), (255, 0, 255)
FLOCKS = [(255, 0, 255), (255, 255, 0), (255, 127, 0), (0, 255, 255)]

failures = []
passes = 0


def check(ok, what, detail=""):
    global passes
    if ok:
        passes += 1
        print(f"ok: {what}", flush=True)
    else:
        failures.append(what)
        print(f"FAIL: {what} {detail}", flush=True)
    return ok


class Shot:
    """A picture of a window, as the X server has it: one 0xRRGGBB number a pixel."""

    def __init__(self, data, width, height):
        pixels = bytearray(data)
        pixels[3::4] = bytes(len(pixels) // 4)  # the padding byte
        self.pixels, self.width, self.height = array.array("I", bytes(pixels)), width, height

    def cell(self, col, row):
        """The pixels of one cell of the 80 x 24 grid at 1024 x 768."""
        x0, x1 = int(12.8 * col + 0.5), int(12.8 * (col + 1) + 0.5)
        return [self.pixels[y * self.width + x0:y * self.width + x1] for y in range(32 * row, 32 * row + 32)]

    def count(self, colour, c0=0, r0=0, c1=COLS, r1=ROWS):
        """Pixels of a colour in the cells [c0, c1) x [r0, r1)."""
        value = (colour[0] << 16) | (colour[1] << 8) | colour[2]
        x0, x1 = int(12.8 * c0 + 0.5), int(12.8 * c1 + 0.5)
        return sum(self.pixels[y * self.width + x0:y * self.width + x1].count(value) for y in range(32 * r0, 32 * r1))


def differing_cells(a, b):
    return [(c, r) for r in range(ROWS) for c in range(COLS) if a.cell(c, r) != b.cell(c, r)]


x = display.Display()


def find_window(title, window=None, test=None):
    """The first viewable window of that title (and that passes test) in the tree."""
    window = window or x.screen().root
    try:
        if window.get_wm_name() == title and window.get_attributes().map_state == X.IsViewable and \
                (test is None or test(window)):
            return window
        children = window.query_tree().children
    except Exception:  # gone while we looked
        return None
    for child in children:
        found = find_window(title, child, test)
        if found is not None:
            return found
    return None


def screenshot(title="Moltrix"):
    window = find_window(title)
    if window is None:
        return None
    try:
        geometry = window.get_geometry()
        image = window.get_image(0, 0, geometry.width, geometry.height, X.ZPixmap, 0xFFFFFFFF)
    except Exception:
        return None
    return Shot(image.data, geometry.width, geometry.height)


def wait_for(program, seconds, test, title="Moltrix"):
    end = time.monotonic() + seconds
    while program.poll() is None and time.monotonic() < end:
        shot = screenshot(title)
        if shot is not None and shot.width == 1024 and shot.height == 768 and test(shot):
            return shot
        time.sleep(0.05)
    return None


def window_icon(title="Moltrix"):
    """The icons a window gives the desktop (_NET_WM_ICON): (width, height, ARGB numbers)."""
    window = find_window(title)
    if window is None:
        return []
    reply = window.get_full_property(x.intern_atom("_NET_WM_ICON"), Xatom.CARDINAL)
    values = list(reply.value) if reply is not None else []
    icons = []
    while len(values) >= 2 and len(values) >= 2 + values[0] * values[1]:
        width, height = values[0], values[1]
        icons.append((width, height, values[2:2 + width * height]))
        values = values[2 + width * height:]
    return icons


def png_argb(path):
    """A PNG file's pixels as ARGB numbers, row by row (ImageMagick reads it)."""
    raw = subprocess.run(["magick", path, "rgba:-"], capture_output=True, check=True).stdout
    return [(raw[i + 3] << 24) | (raw[i] << 16) | (raw[i + 1] << 8) | raw[i + 2] for i in range(0, len(raw), 4)]


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def mouse_to(title, px, py):
    window = find_window(title)
    xdotool("mousemove", "--window", str(window.id), str(px), str(py))


def start(command, folder, locked=False, env=None):
    out = tempfile.TemporaryFile("w+")
    if locked and os.geteuid() == 0:  # root writes anywhere: without these capabilities it cannot
        command = ["setpriv", "--bounding-set=-dac_override,-dac_read_search", *command]
    program = subprocess.Popen(command, cwd=folder, stdout=out, stderr=subprocess.STDOUT, env=env)
    program.output = out
    program.started = time.monotonic()
    return program


def finish(program, seconds=10):
    """The exit status, and what the program printed."""
    try:
        status = program.wait(seconds)
    except subprocess.TimeoutExpired:
        program.kill()
        program.wait()
        status = None
    program.output.seek(0)
    return status, program.output.read()


def errors_in(log):
    return [line for line in log.splitlines() if "ERROR" in line]


def linux_titles(game, folder):
    """The Linux game's title screen, each frame of its animated logo, and how long the
    program took from its start to the first."""
    for data in ("mx-font.ttf", "sprites", "sounds", "icons"):
        source = os.path.join(REPO, data)
        (shutil.copytree if os.path.isdir(source) else shutil.copy)(source, os.path.join(folder, data))
    program = start([game], folder)
    frames = []
    first = wait_for(program, 20, lambda s: s.count(GREEN, 6, 4, 74, 16) > 8000)
    seconds = time.monotonic() - program.started
    end = time.monotonic() + 2  # the logo's four frames last 0.53 s
    while first and time.monotonic() < end:
        shot = screenshot()
        if shot and shot.width == 1024 and all(shot.pixels != f.pixels for f in frames) and shot.count(GREEN, 6, 4, 74, 16) > 8000:
            frames.append(shot)
        time.sleep(0.02)
    xdotool("key", "q")
    status, output = finish(program)
    if not check(frames and status == 0, "the Linux game shows its title and quits", output):
        raise SystemExit(1)
    return frames, seconds


def is_title(shot, titles):
    return any(not differing_cells(shot, t) for t in titles)


def wait_for_title(program, titles, seconds=60):
    """The title, cell for cell one of the Linux game's; reports the nearest frame otherwise."""
    title = wait_for(program, seconds, lambda s: is_title(s, titles))
    if not title:
        last = screenshot()
        nearest = min((differing_cells(last, t) for t in titles), key=len) if last and last.width == 1024 else None
        detail = f"cells that differ: {nearest[:20]}" if nearest is not None else "no window"
        return None, detail
    return title, f"{time.monotonic() - program.started:.2f} s from start"


def play_a_round_start(program):
    """SPACE starts a round (the hero at the centre, the four flocks); a mouse move up and
    left flies the hero to the magenta nest. The pointer starts on the hero's cell."""
    mouse_to("Moltrix", 512, 384)  # on the hero's cell: no course yet
    xdotool("key", "space")
    game = wait_for(program, 10, lambda s: s.count(HERO, 40, 12, 41, 13) >= 10 and s.count(GREEN) == 0 and
                    all(s.count(c) > 100 for c in FLOCKS))
    check(game is not None, "SPACE starts a round: the hero at the centre, the four flocks")
    mouse_to("Moltrix", 256, 64)
    corner = wait_for(program, 30, lambda s: s.count(HERO, 40, 12, 41, 13) >= 10 and
                      s.count(MAGENTA, 40, 15, 50, 19) > 200)
    check(corner is not None, "a mouse move turns the hero: it flies up and left to the magenta nest")


def summary(name):
    print(f"{name}: {passes} passed, {len(failures)} failed")
    return 1 if failures else 0
