#!/usr/bin/env python3
"""End to end on Windows, under Wine on a virtual display: the release zip unpacked in a
folder of its own and played as a player would, its title compared cell by cell with the
Linux game's; recordings made on either system replayed on the other to the same
checkpoints and the same world, the shipped round among them; the same game from a
read-only folder; coins built in the tree and against the installed package. Run by
scripts/test-windows, on a display (scripts/with-xvfb):

    wine_e2e.py RELEASE.zip LINUX_MOLTRIX COINS.exe...
"""
import array
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

from Xlib import X, display

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE = os.path.join(REPO, "scripts", "wine")
ROUND = os.path.join(REPO, "tests", "data", "full-round.txt")
ROUND_HASH = "663f6abb7cb0cde9"
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


def find_window(title, window=None):
    window = window or x.screen().root
    try:
        if window.get_wm_name() == title and window.get_attributes().map_state == X.IsViewable:
            return window
        children = window.query_tree().children
    except Exception:  # gone while we looked
        return None
    for child in children:
        found = find_window(title, child)
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


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def mouse_to(title, px, py):
    window = find_window(title)
    xdotool("mousemove", "--window", str(window.id), str(px), str(py))


def start(command, folder, locked=False):
    out = tempfile.TemporaryFile("w+")
    if locked and os.geteuid() == 0:  # root writes anywhere: without these capabilities it cannot
        command = ["setpriv", "--bounding-set=-dac_override,-dac_read_search", *command]
    program = subprocess.Popen(command, cwd=folder, stdout=out, stderr=subprocess.STDOUT)
    program.output = out
    return program


def finish(program, seconds=10):
    """The exit status, and what the program printed."""
    try:
        status = program.wait(seconds)
    except subprocess.TimeoutExpired:
        program.kill()
        status = None
    program.output.seek(0)
    return status, program.output.read()


def errors_in(log):
    return [line for line in log.splitlines() if "ERROR" in line]


def world_hash(output):
    """The hash of the "world hash: ..." line a run printed, or None."""
    found = re.search(r"^world hash: ([0-9a-f]{16})$", output, re.M)
    return found.group(1) if found else None


def replay(command, folder, recording, seconds=180):
    """A recording replayed without a window to its end: the exit status and the world hash."""
    status, output = finish(start([*command, "--replay", recording, "--headless"], folder), seconds)
    if status != 0:
        print(output, flush=True)
    return status, world_hash(output)


def play_a_round_start(title, mouse_to_window):
    """SPACE, the hero turned and calling for a while, let go: the flock has something to answer."""
    mouse_to_window(title, 512, 384)
    xdotool("key", "space")
    time.sleep(1.5)
    mouse_to_window(title, 300, 200)
    xdotool("mousedown", "1")
    time.sleep(1)
    xdotool("mouseup", "1")
    mouse_to_window(title, 700, 500)
    time.sleep(1.5)


def linux_titles(game, folder):
    """The Linux game's title screen, each frame of its animated logo. The folder keeps the
    game's data for later runs."""
    for data in ("mx-font.ttf", "sprites", "sounds"):
        source = os.path.join(REPO, data)
        (shutil.copytree if os.path.isdir(source) else shutil.copy)(source, os.path.join(folder, data))
    program = start([game], folder)
    frames = []
    first = wait_for(program, 20, lambda s: s.count(GREEN, 6, 4, 74, 16) > 8000)
    end = time.monotonic() + 2  # the logo's four frames last 0.53 s
    while first and time.monotonic() < end:
        shot = screenshot()
        if shot and shot.width == 1024 and all(shot.pixels != f.pixels for f in frames) and shot.count(GREEN, 6, 4, 74, 16) > 8000:
            frames.append(shot)
        time.sleep(0.02)
    xdotool("key", "q")
    status, output = finish(program)
    if not check(frames and status == 0, "the Linux game shows its title and quits", output):
        sys.exit(1)
    return frames


def is_title(shot, titles):
    return any(not differing_cells(shot, t) for t in titles)


def play(folder, titles):
    """The release played as a player would, recording the session into windows-session.txt;
    the world hash it printed, or None."""
    exe = os.path.join(folder, "moltrix.exe")
    started = time.monotonic()
    program = start([WINE, exe, "--record", "windows-session.txt"], folder)
    title = wait_for(program, 60, lambda s: is_title(s, titles))
    if not title:
        last = screenshot()
        nearest = min((differing_cells(last, t) for t in titles), key=len) if last and last.width == 1024 else None
        detail = f"cells that differ: {nearest[:20]}" if nearest is not None else "no window"
        check(False, "the title under Wine is the Linux title, cell for cell", detail)
        finish(program, 1)
        return
    check(True, f"the title under Wine is the Linux title, cell for cell ({time.monotonic() - started:.1f} s from start)")
    mouse_to("Moltrix", 512, 384)  # on the hero's cell: no course yet
    xdotool("key", "space")
    game = wait_for(program, 10, lambda s: s.count(HERO, 40, 12, 41, 13) >= 10 and s.count(GREEN) == 0 and
                    all(s.count(c) > 100 for c in FLOCKS))
    check(game is not None, "SPACE starts a round: the hero at the centre, the four flocks")
    # Up and left: the view follows the hero to the world's corner, where the magenta nest is.
    mouse_to("Moltrix", 256, 64)
    corner = wait_for(program, 30, lambda s: s.count(HERO, 40, 12, 41, 13) >= 10 and
                      s.count(MAGENTA, 40, 15, 50, 19) > 200)
    check(corner is not None, "a mouse move turns the hero: it flies up and left to the magenta nest")
    mouse_to("Moltrix", 300, 200)
    xdotool("mousedown", "1")  # a call: the flock scatters, some follow
    time.sleep(1)
    xdotool("mouseup", "1")
    xdotool("key", "q")
    status, output = finish(program)
    check(status == 0, "Q ends the game with exit code 0", f"status {status}: {output}")
    log = os.path.join(folder, "Moltrix.log")
    check(os.path.isfile(log) and not errors_in(open(log).read()), "the log is beside the program, without errors")
    played = world_hash(output)
    check(played is not None and os.path.isfile(os.path.join(folder, "windows-session.txt")) and
          not os.path.exists(os.path.join(folder, "windows-session.txt.partial")),
          "the session is recorded, and its file takes its name when it ends", output)
    return played


def recordings_across(windows_folder, linux_game, linux_folder, windows_played, titles):
    """The shipped round, a Windows recording and a Linux recording, each replayed on both:
    every checkpoint holds (exit 0) and each ends in one world hash."""
    windows = [WINE, os.path.join(windows_folder, "moltrix.exe")]
    shutil.copy(ROUND, os.path.join(windows_folder, "full-round.txt"))
    shutil.copy(ROUND, os.path.join(linux_folder, "full-round.txt"))
    for system, command, folder in (("Linux", [linux_game], linux_folder), ("Windows", windows, windows_folder)):
        status, hash_ = replay(command, folder, "full-round.txt")
        check(status == 0 and hash_ == ROUND_HASH,
              f"the shipped round replays on {system} through its checkpoints to {ROUND_HASH}", f"status {status}, {hash_}")

    if windows_played is not None:
        shutil.copy(os.path.join(windows_folder, "windows-session.txt"), linux_folder)
        status, hash_ = replay([linux_game], linux_folder, "windows-session.txt")
        check(status == 0 and hash_ == windows_played,
              "a session recorded on Windows replays on Linux through its checkpoints to the world it ended in",
              f"status {status}, {hash_}, played {windows_played}")

    # The session ends (the user logs off): the recording ends whole, and replays on Linux.
    program = start([*windows, "--record", "ended.txt"], windows_folder)
    shown = wait_for(program, 60, lambda s: is_title(s, titles))
    play_a_round_start("Moltrix", mouse_to)
    subprocess.run([WINE, "wineboot", "--end-session"], check=True)
    status, output = finish(program, 30)
    played = world_hash(output)
    ended = os.path.join(windows_folder, "ended.txt")
    if check(shown and status == 0 and played and os.path.isfile(ended) and
             "Asked to stop (the session ends)" in output, "the end of the session ends a Windows recording whole", output):
        shutil.copy(ended, linux_folder)
        status, hash_ = replay([linux_game], linux_folder, "ended.txt")
        check(status == 0 and hash_ == played, "the recording of the ended session replays on Linux to its world",
              f"status {status}, {hash_}, played {played}")

    program = start([linux_game, "--record", "linux-session.txt"], linux_folder)
    shown = wait_for(program, 20, lambda s: s.count(GREEN, 6, 4, 74, 16) > 8000)
    play_a_round_start("Moltrix", mouse_to)
    xdotool("key", "q")
    status, output = finish(program)
    played = world_hash(output)
    if not check(shown and status == 0 and played, "a session is recorded on Linux", output):
        return
    shutil.copy(os.path.join(linux_folder, "linux-session.txt"), windows_folder)
    status, hash_ = replay(windows, windows_folder, "linux-session.txt")
    check(status == 0 and hash_ == played,
          "a session recorded on Linux replays on Windows through its checkpoints to the world it ended in",
          f"status {status}, {hash_}, played {played}")


def play_locked(folder, titles):
    for name in os.listdir(folder):
        if name.endswith(".log"):
            os.remove(os.path.join(folder, name))
    os.chmod(folder, 0o555)
    # Wine's server opens files for the program: it must start anew, without those capabilities too.
    subprocess.run([WINE, "wineserver", "-w"], check=True)
    try:
        program = start([WINE, os.path.join(folder, "moltrix.exe")], folder, locked=True)
        shown = wait_for(program, 60, lambda s: is_title(s, titles))
        xdotool("key", "q")
        status, output = finish(program)
        subprocess.run([WINE, "wineserver", "-w"], check=True)
    finally:
        os.chmod(folder, 0o755)
    check(shown is not None and status == 0, "from a read-only folder the game runs and quits", f"status {status}: {output}")
    check(not any(n.endswith(".log") for n in os.listdir(folder)), "nothing is written in the read-only folder")
    said = [line for line in output.splitlines() if "logging to '" in line]
    moved = said[0].split("logging to '")[1].rstrip("'") if said else ""
    check(moved.lower().endswith("\\appdata\\local\\moltrix\\moltrix.log"),
          "the program says it logs to %LOCALAPPDATA%\\moltrix\\Moltrix.log", output)
    if moved:
        path = subprocess.run([WINE, "winepath", "-u", moved], capture_output=True, text=True).stdout.strip()
        content = open(path).read() if os.path.isfile(path) else ""
        check(said[0].split(" ", 2)[2] in content.splitlines()[0] if content else False,
              "the log is there, its first line saying where", path)


def play_coins(exe):
    program = start([WINE, exe], os.path.dirname(exe))
    shown = wait_for(program, 30, lambda s: s.count((110, 110, 140)) > 1000, title="Coins")  # the walls
    xdotool("key", "q")
    status, output = finish(program)
    log = os.path.join(os.path.dirname(exe), "coins.log")
    check(shown is not None and status == 0 and os.path.isfile(log) and not errors_in(open(log).read()),
          f"coins runs and quits: {os.path.relpath(exe, REPO)}", output)


def main():
    release, linux_game, *coins = (os.path.abspath(arg) for arg in sys.argv[1:])
    # A player's folder, outside the repository: the zip unpacked there.
    with tempfile.TemporaryDirectory(prefix="moltrix-linux-") as linux_folder, \
            tempfile.TemporaryDirectory(prefix="moltrix-player-") as player:
        titles = linux_titles(linux_game, linux_folder)
        zipfile.ZipFile(release).extractall(player)
        folder = os.path.join(player, os.path.basename(release)[:-len(".zip")])
        os.chmod(os.path.join(folder, "moltrix.exe"), 0o755)
        played = play(folder, titles)
        recordings_across(folder, linux_game, linux_folder, played, titles)
        play_locked(folder, titles)
    for exe in coins:
        play_coins(exe)
    subprocess.run([WINE, "wineserver", "-w"])  # Wine's own processes end while the display is there
    print(f"wine end to end: {passes} passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
