#!/usr/bin/env python3
"""End to end on Windows, under Wine on a virtual display: the release zip unpacked in a
folder of its own and played as a player would, its title compared cell by cell with the
Linux game's, its window's icon, a second copy beside it and the message box of a start
that fails; recordings made on either system replayed on the other to the same
checkpoints and the same world, the shipped round among them; the same game from a
read-only folder; the examples coins and rocks built in the tree and against the
installed package. Run by scripts/test-windows, on a display (scripts/with-xvfb):

    wine_e2e.py RELEASE.zip LINUX_MOLTRIX EXAMPLE.exe...   (coins.exe, rocks.exe)
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

from x11_play import (REPO, check, errors_in, find_window, finish, is_title, linux_titles, mouse_to,
                      play_a_round_start, png_argb, start, summary, wait_for, wait_for_title, window_icon,
                      xdotool, GREEN)

WINE = os.path.join(REPO, "scripts", "wine")
ROUND = os.path.join(REPO, "tests", "data", "full-round.txt")
ROUND_HASH = "663f6abb7cb0cde9"


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


def call_the_flock(title="Moltrix"):
    """SPACE, the hero turned and calling for a while, let go: the flock has something to answer."""
    mouse_to(title, 512, 384)
    xdotool("key", "space")
    time.sleep(1.5)
    mouse_to(title, 300, 200)
    xdotool("mousedown", "1")
    time.sleep(1)
    xdotool("mouseup", "1")
    mouse_to(title, 700, 500)
    time.sleep(1.5)


def play(folder, titles):
    """The release played as a player would, recording the session into windows-session.txt;
    the world hash it printed, or None."""
    exe = os.path.join(folder, "moltrix.exe")
    program = start([WINE, exe, "--verbose", "--record", "windows-session.txt"], folder)
    title, detail = wait_for_title(program, titles)
    check(title is not None, "the title under Wine is the Linux title, cell for cell", detail)
    if title is None:
        finish(program, 1)
        return None
    check(icon_is(os.path.join(folder, "icons", "moltrix-64.png"), "Moltrix"), "the window has the game's icon",
          [(w, h) for w, h, _ in window_icon("Moltrix")])
    second_copy(folder, exe)
    play_a_round_start(program)
    mouse_to("Moltrix", 300, 200)
    xdotool("mousedown", "1")  # a call: the flock scatters, some follow
    time.sleep(1)
    xdotool("mouseup", "1")
    xdotool("key", "q")
    status, output = finish(program)
    check(status == 0, "Q ends the game with exit code 0", f"status {status}: {output}")
    log = os.path.join(folder, "Moltrix.log")
    content = open(log, "rb").read() if os.path.isfile(log) else b""
    text = content.decode(errors="replace")
    check(b"\0" not in content and text.split("\n", 1)[0].rstrip("\r").endswith("Successfully started log manager") and
          "Logging to '" in text and not errors_in(text),
          "the log is beside the program, whole (its first line kept, no NUL bytes), without errors", text[:500])
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
    call_the_flock()
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
    call_the_flock()
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


# What each example shows once it runs: the walls of coins' room, the yellow title of rocks.
EXAMPLES = {
    "coins": ("Coins", lambda s: s.count((110, 110, 140)) > 1000),
    "rocks": ("Rocks", lambda s: s.count((255, 255, 0)) > 100),
}


def play_example(exe):
    name = os.path.splitext(os.path.basename(exe))[0]
    title, shown_by = EXAMPLES[name]
    program = start([WINE, exe], os.path.dirname(exe))
    shown = wait_for(program, 30, shown_by, title=title)
    xdotool("key", "q")
    status, output = finish(program)
    log = os.path.join(os.path.dirname(exe), name + ".log")
    check(shown is not None and status == 0 and os.path.isfile(log) and not errors_in(open(log).read()),
          f"{name} runs and quits: {os.path.relpath(exe, REPO)}", output)


def main():
    release, linux_game, *examples = (os.path.abspath(arg) for arg in sys.argv[1:])
    # A player's folder, outside the repository: the zip unpacked there.
    with tempfile.TemporaryDirectory(prefix="moltrix-linux-") as linux_folder, \
            tempfile.TemporaryDirectory(prefix="moltrix-player-") as player:
        titles, _ = linux_titles(linux_game, linux_folder)
        zipfile.ZipFile(release).extractall(player)
        folder = os.path.join(player, os.path.basename(release)[:-len(".zip")])
        os.chmod(os.path.join(folder, "moltrix.exe"), 0o755)
        played = play(folder, titles)
        recordings_across(folder, linux_game, linux_folder, played, titles)
        fatal_box(folder)
        play_locked(folder, titles)
    for exe in examples:
        play_example(exe)
    subprocess.run([WINE, "wineserver", "-w"])  # Wine's own processes end while the display is there
    sys.exit(summary("wine end to end"))


if __name__ == "__main__":
    main()
