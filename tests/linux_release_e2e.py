#!/usr/bin/env python3
"""End to end on Linux: the release archive unpacked into a fresh folder of a bare Debian 12
system (a desktop's runtime libraries only: no SFML, no compiler, no -dev package) and
played there by a user who is not root, as a player would: its title compared cell by
cell with the main Linux build's, a round's start, Q and its exit code, the log; the
recorded round replayed headless to the main build's world hash; the desktop entry
installed and started; and the libraries and C library versions the program needs. Run by
scripts/test-linux-release, on a display (scripts/with-xvfb), where bwrap can enter the
bare system:

    linux_release_e2e.py RELEASE.tar.gz BARE_ROOT LINUX_MOLTRIX
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tarfile
import tempfile
import time

from x11_play import (REPO, check, errors_in, finish, linux_titles, play_a_round_start, png_argb, start, summary,
                      wait_for_title, window_icon, xdotool)

PLAYER = 65534  # nobody
MAX_BYTES = 10 * 1000 * 1000
NEWEST_GLIBC = (2, 34)
# What every desktop has: the C library, libgcc, the X11 client libraries and udev (SFML
# loads OpenGL itself, and finds a sound server where there is one).
DESKTOP_LIBRARIES = {"libc.so.6", "libm.so.6", "ld-linux-x86-64.so.2", "libgcc_s.so.1", "libX11.so.6",
                     "libXrandr.so.2", "libXcursor.so.1", "libXi.so.6", "libudev.so.1", "libGL.so.1"}
REPLAY = os.path.join(REPO, "tests", "data", "full-round.txt")


def in_bare(bare, folder, command, home):
    """The command as the player runs it on the bare system, in a folder of the player's."""
    return ["bwrap", "--ro-bind", bare, "/", "--proc", "/proc", "--dev", "/dev", "--tmpfs", "/tmp",
            "--bind", "/tmp/.X11-unix", "/tmp/.X11-unix", "--bind", os.path.dirname(home), os.path.dirname(home),
            "--chdir", folder,
            "--die-with-parent", "--clearenv", "--setenv", "PATH", "/usr/local/bin:/usr/bin:/bin",
            "--setenv", "HOME", home, "--setenv", "DISPLAY", os.environ["DISPLAY"], "--setenv", "LANG", "C.UTF-8",
            "setpriv", f"--reuid={PLAYER}", f"--regid={PLAYER}", "--clear-groups", "--", *command]


def world_hash(output):
    found = re.findall(r"^world hash: ([0-9a-f]{16})$", output, re.M)
    return found[-1] if found else None


def libraries(program):
    """What the program names as needed, and the newest versions of glibc's symbols and of
    the C++ library's it asks for."""
    dynamic = subprocess.run(["readelf", "-d", program], capture_output=True, text=True, check=True).stdout
    needed = set(re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic))
    symbols = subprocess.run(["objdump", "-T", program], capture_output=True, text=True, check=True).stdout
    glibc = sorted({tuple(int(n) for n in v.split(".")) for v in re.findall(r"\bGLIBC_([0-9.]+)\b", symbols)})
    cxx = sorted(set(re.findall(r"\b(GLIBCXX_[0-9.]+|CXXABI_[0-9.]+)\b", symbols)))
    return needed, glibc, cxx


def check_program(program):
    needed, glibc, cxx = libraries(program)
    print(f"the program needs: {' '.join(sorted(needed))}")
    newest = ".".join(map(str, glibc[-1])) if glibc else "none"
    print(f"newest symbol versions: GLIBC_{newest}, {cxx[-1] if cxx else 'no GLIBCXX_ or CXXABI_'}")
    check(needed <= DESKTOP_LIBRARIES, "the program needs no library beyond a desktop's", sorted(needed - DESKTOP_LIBRARIES))
    check(glibc and glibc[-1] <= NEWEST_GLIBC, f"the program needs glibc {'.'.join(map(str, NEWEST_GLIBC))} at most",
          f"GLIBC_{newest}")
    check(not cxx, "the program needs no C++ library of the system's", cxx)


def unpack(archive, home):
    """The archive unpacked in the player's folder, owned by the player; the game's folder."""
    with tarfile.open(archive) as tar:
        names = tar.getnames()
        check(all(not n.startswith("/") and ".." not in n.split("/") for n in names), "the archive stays in its folder")
        tar.extractall(home, filter="tar")
    for root, folders, files in os.walk(home):
        for name in [root] + [os.path.join(root, f) for f in folders + files]:
            os.lchown(name, PLAYER, PLAYER)
    return os.path.join(home, names[0].split("/")[0])


def check_desktop_entry(bare, folder, home):
    """The desktop entry, installed by the player, starts the game from its own folder."""
    installer = subprocess.run(in_bare(bare, folder, ["./install-desktop-entry"], home), capture_output=True, text=True)
    entry_file = os.path.join(home, ".local", "share", "applications", "moltrix.desktop")
    if not check(installer.returncode == 0 and os.path.isfile(entry_file), "./install-desktop-entry installs the entry",
                 installer.stdout + installer.stderr):
        return
    entry = dict(line.split("=", 1) for line in open(entry_file).read().splitlines() if "=" in line)
    icon = entry.get("Icon", "")
    check(os.path.isfile(icon) and os.path.isfile(os.path.join(home, ".local/share/icons/hicolor/48x48/apps/moltrix.png")),
          "the entry's icon is there, and the icon theme's sizes", icon)
    command = shlex.split(entry.get("Exec", "").replace("\\\\", "\\"))
    run = subprocess.run(in_bare(bare, entry.get("Path", "/"), command + ["--headless", "--frames", "3"], home),
                         capture_output=True, text=True, timeout=60)
    check(run.returncode == 0 and world_hash(run.stdout), "the entry's command starts the game in its folder",
          f"{entry.get('Exec')} in {entry.get('Path')}: {run.returncode} {run.stdout[-500:]} {run.stderr[-500:]}")
    removed = subprocess.run(in_bare(bare, folder, ["./install-desktop-entry", "--remove"], home), capture_output=True)
    check(removed.returncode == 0 and not os.path.exists(entry_file), "--remove takes the entry out")


def main():
    archive, bare, linux_game = (os.path.abspath(arg) for arg in sys.argv[1:4])
    size = os.path.getsize(archive)
    check(size < MAX_BYTES, f"the archive is under 10 MB ({size} bytes)")
    work = tempfile.mkdtemp(prefix="moltrix-player-")
    os.chmod(work, 0o755)  # the folders above a player's home let them through
    try:
        # What the main build shows and computes, in a folder of its own with the data.
        main_folder = os.path.join(work, "main")
        os.makedirs(main_folder)
        titles, main_seconds = linux_titles(linux_game, main_folder)
        main_run = subprocess.run([linux_game, "--replay", REPLAY, "--headless"], cwd=main_folder, capture_output=True,
                                  text=True, timeout=300)
        main_hash = world_hash(main_run.stdout)

        # A player's home on the bare system, with their own space in a new folder (with a
        # space in its name, as a player's may have).
        home = os.path.join(work, "a player")
        os.makedirs(home)
        folder = unpack(archive, home)
        program = os.path.join(folder, "moltrix")
        check_program(program)
        ldd = subprocess.run(in_bare(bare, folder, ["ldd", "./moltrix"], home), capture_output=True, text=True)
        check(ldd.returncode == 0 and "not found" not in ldd.stdout, "the bare system has every library it needs",
              ldd.stdout + ldd.stderr)

        game = start(in_bare(bare, folder, ["./moltrix"], home), folder)
        title, detail = wait_for_title(game, titles)
        check(title is not None, "on the bare system the title is the main build's, cell for cell", detail)
        print(f"start to title: {detail} (the main build here: {main_seconds:.2f} s)")
        if title is not None:
            want = png_argb(os.path.join(folder, "icons", "moltrix-64.png"))
            check(any((w, h) == (64, 64) and list(p) == want for w, h, p in window_icon()), "the window has the game's icon",
                  [(w, h) for w, h, _ in window_icon()])
            play_a_round_start(game)
            xdotool("key", "q")
        status, output = finish(game, 15)
        check(status == 0, "Q ends the game with exit code 0", f"status {status}: {output[-1000:]}")
        log = os.path.join(folder, "Moltrix.log")
        check(os.path.isfile(log) and os.stat(log).st_uid == PLAYER and not errors_in(open(log).read()),
              "the player's log is beside the program, without errors", open(log).read() if os.path.isfile(log) else "")

        shutil.copy(REPLAY, os.path.join(folder, "full-round.txt"))
        started = time.monotonic()
        replay = subprocess.run(in_bare(bare, folder, ["./moltrix", "--replay", "full-round.txt", "--headless"], home),
                                capture_output=True, text=True, timeout=300)
        check(replay.returncode == 0 and main_hash and world_hash(replay.stdout) == main_hash,
              f"the recorded round replays headless to the main build's world ({main_hash}, "
              f"{time.monotonic() - started:.1f} s)", replay.stdout[-500:] + replay.stderr[-500:])
        check_desktop_entry(bare, folder, home)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(summary("Linux release end to end"))


if __name__ == "__main__":
    main()
