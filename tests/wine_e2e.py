#!/usr/bin/env python3
"""End to end on Windows, under Wine on a virtual display: the release zip unpacked in a
folder of its own and played as a player would, its title compared cell by cell with the
Linux game's; the same game from a read-only folder; coins built in the tree and against
the installed package. Run by scripts/test-windows, on a display (scripts/with-xvfb):

    wine_e2e.py RELEASE.zip LINUX_MOLTRIX COINS.exe...
"""
import os
import subprocess
import sys
import tempfile
import time
import zipfile

from x11_play import (REPO, check, errors_in, find_window, finish, linux_titles, play_a_round_start, png_argb,
                      screenshot, start, summary, wait_for, wait_for_title, window_icon, x, xdotool, HERO)

WINE = os.path.join(REPO, "scripts", "wine")


def icon_is(icon_file, title):
    """Whether the window shows the icon file, pixel for pixel where it is opaque (the desktop
    may blend its edges)."""
    want = png_argb(icon_file)
    size = int(len(want) ** 0.5)
    for width, height, pixels in window_icon(title):
        if (width, height) == (size, size) and all(p == w for p, w in zip(pixels, want) if w >> 24 == 255):
            return True
    return False


def second_copy(folder, exe):
    """A second copy started beside the first, which is on its title: it leaves the first's
    log whole and logs in %LOCALAPPDATA%\\moltrix, saying so."""
    log = os.path.join(folder, "Moltrix.log")
    before = open(log, "rb").read()
    program = start([WINE, exe, "--headless", "--frames", "30"], folder)
    status, output = finish(program, 120)
    print(f"the second copy ran {time.monotonic() - program.started:.1f} s")
    said = [line for line in output.splitlines() if "is in use by another copy of the program: logging to '" in line]
    check(status == 0 and said and said[0].rstrip("'").lower().endswith("\\appdata\\local\\moltrix\\moltrix.log"),
          "a second copy in the same folder logs in %LOCALAPPDATA%\\moltrix and says so", f"status {status}: {output}")
    after = open(log, "rb").read()
    # The first may write on (overruns on a busy machine), but keeps what it wrote.
    check(after.startswith(before) and b"in use by another copy" not in after,
          "the second copy neither empties the first copy's log nor writes in it")


def play(folder, titles):
    exe = os.path.join(folder, "moltrix.exe")
    program = start([WINE, exe], folder)
    title, detail = wait_for_title(program, titles)
    check(title is not None, "the title under Wine is the Linux title, cell for cell", detail)
    if title is None:
        finish(program, 1)
        return
    check(icon_is(os.path.join(folder, "icons", "moltrix-64.png"), "Moltrix"), "the window has the game's icon",
          [(w, h) for w, h, _ in window_icon("Moltrix")])
    second_copy(folder, exe)
    play_a_round_start(program)
    xdotool("key", "q")
    status, output = finish(program)
    check(status == 0, "Q ends the game with exit code 0", f"status {status}: {output}")
    log = os.path.join(folder, "Moltrix.log")
    content = open(log, "rb").read() if os.path.isfile(log) else b""
    text = content.decode(errors="replace")
    check(b"\0" not in content and "Logging to '" in text.split("\n", 1)[0] and not errors_in(text),
          "the log is beside the program, whole (its first line kept, no NUL bytes), without errors", text[:500])


def fatal_box(folder):
    """Without its font the game cannot start: a message box says why and where the log is,
    and after OK the program ends with -1. Headless, no box: the program just ends."""
    font = os.path.join(folder, "mx-font.ttf")
    aside = font + ".aside"
    os.rename(font, aside)
    try:
        # Wine's trace of the box it makes gives its text.
        program = start([WINE, os.path.join(folder, "moltrix.exe")], folder, env=dict(os.environ, WINEDEBUG="+msgbox"))
        box = None
        end = time.monotonic() + 60
        while box is None and program.poll() is None and time.monotonic() < end:
            # The box has the game window's title, and is no game window.
            box = find_window("Moltrix", test=lambda w: w.get_geometry().width < 800)
            time.sleep(0.1)
        check(box is not None, "without its font the game shows a message box")
        if box is not None:
            time.sleep(0.5)
            xdotool("windowfocus", "--sync", str(box.id))
            xdotool("key", "Return")
        status, output = finish(program, 30)
        shown = [line for line in output.splitlines() if "MSGBOX_OnInit" in line]
        text = shown[0].split('L"', 1)[1].rsplit('"', 1)[0].replace("\\\\", "\\") if shown else ""
        check("Failed to start engine" in text and "Failed to find font file: mx-font.ttf" in text and
              "The log says more: " in text and text.lower().endswith("\\moltrix.log"),
              "the box gives the reason and where the log is", repr(text))
        check(status == 255, "after OK the program ends with -1", f"status {status}: {output[-2000:]}")
        program = start([WINE, os.path.join(folder, "moltrix.exe"), "--headless", "--replay", "missing.txt"], folder,
                        env=dict(os.environ, WINEDEBUG="+msgbox"))
        status, output = finish(program, 60)
        check(status == 1 and "MSGBOX_OnInit" not in output and find_window("Moltrix") is None,
              "a headless run that fails shows no box and ends with 1", f"status {status}: {output[-2000:]}")
    finally:
        os.rename(aside, font)


def play_locked(folder, titles):
    for name in os.listdir(folder):
        if name.endswith(".log"):
            os.remove(os.path.join(folder, name))
    os.chmod(folder, 0o555)
    # Wine's server opens files for the program: it must start anew, without those capabilities too.
    subprocess.run([WINE, "wineserver", "-w"], check=True)
    try:
        program = start([WINE, os.path.join(folder, "moltrix.exe")], folder, locked=True)
        shown, _ = wait_for_title(program, titles)
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
    with tempfile.TemporaryDirectory(prefix="moltrix-linux-") as linux_folder:
        titles, _ = linux_titles(linux_game, linux_folder)
    # A player's folder, outside the repository: the zip unpacked there.
    with tempfile.TemporaryDirectory(prefix="moltrix-player-") as player:
        zipfile.ZipFile(release).extractall(player)
        folder = os.path.join(player, os.path.basename(release)[:-len(".zip")])
        os.chmod(os.path.join(folder, "moltrix.exe"), 0o755)
        play(folder, titles)
        fatal_box(folder)
        play_locked(folder, titles)
    for exe in coins:
        play_coins(exe)
    subprocess.run([WINE, "wineserver", "-w"])  # Wine's own processes end while the display is there
    sys.exit(summary("wine end to end"))


if __name__ == "__main__":
    main()
