#!/usr/bin/env python3
"""kowaki-cli browse in a real terminal: tmux runs it, takes the keys and
shows the screen, with SDL's disk audio driver as the sound device.

  browse_terminal_test.py KOWAKI_CLI DEMO_ARCHIVE WORK_DIR

One walk through the whole flow (rows, filter, marks, export, play, sort,
help, the wheel, a resize, quit), then each signal that ends the process,
after which the terminal must be as it was. Exits 77 (skipped) without tmux.
"""
import os
import shutil
import signal
import subprocess
import sys
import time

SKIPPED = 77
# What the terminal's programs get of the test's environment.
PASSED = ("LANG", "LC_ALL", "HOME", "XDG_CONFIG_HOME", "SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE")


class Terminal:
    """A tmux server of our own, with one window running `command`."""

    opened = 0

    def __init__(self, work, command, env, width=120, height=40):
        Terminal.opened += 1
        self.socket = f"kowaki-browse-{os.getpid()}-{Terminal.opened}"
        settings = sum((["-e", f"{k}={v}"] for k, v in env.items() if k in PASSED), [])
        self.tmux("-f", "/dev/null", "new-session", "-d", "-x", str(width), "-y", str(height),
                  *settings, f"cd '{work}' && {command}; sleep 600")

    def tmux(self, *args):
        return subprocess.run(["tmux", "-L", self.socket, *args], check=True,
                              capture_output=True, text=True).stdout

    def keys(self, *keys):
        self.tmux("send-keys", *keys)

    def text(self, text):
        self.tmux("send-keys", "-l", text)

    def screen(self):
        return self.tmux("capture-pane", "-p")

    def lines(self):
        return self.screen().split("\n")

    def flag(self, name):
        return self.tmux("display", "-p", f"#{{{name}}}").strip()

    def wait_for(self, words, seconds=15):
        """The screen once it shows `words` (a text, a list of them, or a test of the screen)."""
        shows = words if callable(words) else lambda screen: all(
            w in screen for w in ([words] if isinstance(words, str) else words))
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            screen = self.screen()
            if shows(screen):
                return screen
            time.sleep(0.05)
        raise AssertionError(f"waited for {words!r}; the screen shows:\n{self.screen()}")

    def wait_while(self, words, seconds=15):
        return self.wait_for(lambda screen: words not in screen, seconds)

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], capture_output=True)


def check(condition, what, screen=""):
    if not condition:
        raise AssertionError(what + ("\n" + screen if screen else ""))


def wav_data(path):
    with open(path, "rb") as f:
        data = f.read()
    check(data[:4] == b"RIFF" and data[8:12] == b"WAVE", f"{path} is no WAV file")
    return data[44:]


def expect_heard(heard, sound):
    """Every byte of `sound` in order, nothing but silence around and between them."""
    matched = 0
    for at, byte in enumerate(heard):
        if matched < len(sound) and byte == sound[matched]:
            matched += 1
        else:
            check(byte == 0, f"byte {at} of {len(heard)} heard is no silence, after {matched} "
                  f"of {len(sound)} expected")
    check(matched == len(sound), f"{matched} of {len(sound)} bytes heard")


def row_names(screen):
    """The names of the rows shown, top to bottom."""
    names = []
    for line in screen.split("\n")[2:]:
        fields = line[1:].split()
        if len(fields) >= 2 and fields[0].isdigit():
            names.append(fields[1])
    return names


def walk_through(cli, archive, work, env):
    term = Terminal(work, f"'{cli}' browse --lang en --all '{archive}'; echo \"browse exited $?\"",
                    env)
    try:
        # The rows, then their facts; the one that does not open, with why.
        screen = term.wait_for(["13 of 13 rows", "not audio"])
        check("v_0002       18.82 K         2.00           2     44100" in screen, "a row", screen)
        check("こえ01" in screen and "ﾃｽﾄ" in screen, "Japanese names", screen)

        # Filter as you type: plain text is part of a name, Japanese too;
        # Esc clears; patterns as ENTRY takes them, Enter keeps them.
        term.keys("/")
        term.text("v_00")
        screen = term.wait_for("8 of 13 rows")
        check("sys_end" not in screen, "the filter narrows the rows", screen)
        term.keys("BSpace", "BSpace", "BSpace", "BSpace")
        term.text("こえ")
        screen = term.wait_for("1 of 13 rows")
        check(row_names(screen) == ["こえ01"], "a Japanese part of a name", screen)
        term.keys("Escape")
        term.wait_for("13 of 13 rows")
        term.keys("/")
        term.text("v_000[12]")
        term.keys("Enter")
        term.wait_for("2 of 13 rows")

        # Marks, and their export through the export job with this run's settings.
        term.keys("Space", "Space")
        screen = term.wait_for("2 marked")
        check(sum(line.startswith("*") for line in screen.split("\n")) == 2, "two marks", screen)
        term.keys("e")
        term.wait_for(["entries to export: 2", "to the folder:", "ogg"])
        term.text("out")
        term.keys("Tab", "t")
        term.wait_for("wav, the source's rate, the source's channels")
        term.keys("Enter")
        term.wait_for("2 written, 0 skipped, 0 failed to out")
        subprocess.run([cli, "export", "--lang", "en", "-q", archive, "--to", "ref", "--type",
                        "wav", "v_0001", "v_0002"], cwd=work, check=True, env=env)
        for name in ("v_0001.wav", "v_0002.wav"):
            check(wav_data(os.path.join(work, "out", name)) ==
                  wav_data(os.path.join(work, "ref", name)), f"{name} as export writes it")

        # Play the current row (no marks), held and played on; then stop a
        # second play at once.
        term.keys("u", "Escape", "/")
        term.text("v_0002")
        term.keys("Enter")
        term.wait_for("1 of 13 rows")
        term.keys("Enter")
        term.wait_for("v_0002 playing 1/1")
        term.keys("p")
        term.wait_for("paused")
        term.keys("p")
        term.wait_while("playing")
        expect_heard(open(env["SDL_DISKAUDIOFILE"], "rb").read(),
                     wav_data(os.path.join(work, "ref", "v_0002.wav")))
        term.keys("-", "Enter")
        term.wait_for(["v_0002 playing 1/1", "volume 90%"])
        term.keys("s")
        term.wait_while("playing", seconds=1)  # at once, not after the clip's 2 s

        # Sort by size, then reversed; the keys.
        term.keys("Escape")
        term.wait_for("13 of 13 rows")
        term.keys("2")
        screen = term.wait_for("^ size")
        check(row_names(screen)[0] == "readme", "the smallest first", screen)
        term.keys("2")
        screen = term.wait_for("v size")
        check(row_names(screen)[0] == "v_0002", "the largest first", screen)
        term.keys("?")
        term.wait_for(["keys (any key goes back)", "play the marks (or the current row)"])
        term.keys("x")
        term.wait_for("v_0002")

        # A smaller terminal: the rows its lines hold, the wheel scrolls them.
        term.tmux("resize-window", "-x", "70", "-y", "12")
        # Drawn again: the rows 12 lines hold, the keys on the last.
        screen = term.wait_for(lambda screen: len(row_names(screen)) == 8 and
                               "?: keys" in screen.split("\n")[11])
        check(all(len(line) <= 70 for line in screen.split("\n")), "70 columns", screen)
        first = row_names(screen)[0]
        term.text("\x1b[Ma!!")  # the wheel down, as an xterm reports it
        term.wait_for(lambda screen: row_names(screen)[0] != first)

        term.keys("q")
        term.wait_for("browse exited 0")
        check(term.flag("alternate_on") == "0", "the normal screen again")
    finally:
        term.close()


def ended_by(cli, archive, work, env, number):
    """Signal `number` ends browse; the terminal is as it was before."""
    pid_file = os.path.join(work, "browse.pid")
    command = (f"sh -c 'echo $$ > \"{pid_file}\"; exec \"{cli}\" browse --lang ja \"{archive}\"'; "
               "echo \"browse ended $?\"; stty -a; echo modes-shown")
    term = Terminal(work, command, env)
    try:
        term.wait_for(["名前", "/ 13 行"])
        check(term.flag("alternate_on") == "1", "browse has the alternate screen")
        with open(pid_file) as f:
            os.kill(int(f.read()), number)
        screen = term.wait_for([f"browse ended {128 + number}", "modes-shown"])
        modes = screen.replace(";", " ").split()
        check("icanon" in modes and "echo" in modes and "-icanon" not in modes, "modes", screen)
        check(term.flag("alternate_on") == "0", "the normal screen again", screen)
        check(term.flag("cursor_flag") == "1", "the cursor shows", screen)
        check(term.flag("mouse_any_flag") == "0", "no mouse reports", screen)
        check(term.flag("keypad_flag") == "0", "the keypad as it was", screen)
    finally:
        term.close()


def main(cli, archive, work):
    if shutil.which("tmux") is None:
        print("tmux is missing: skipped")
        return SKIPPED
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    shutil.copy(archive, os.path.join(work, "voice.arc"))
    env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8", HOME=work,
               XDG_CONFIG_HOME=os.path.join(work, "config"), SDL_AUDIODRIVER="disk",
               SDL_DISKAUDIOFILE=os.path.join(work, "heard.raw"))
    env.pop("LANGUAGE", None)
    walk_through(cli, "voice.arc", work, env)
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        ended_by(cli, "voice.arc", work, env, int(number))
    print("browse: the whole flow and three signals")
    return 0


if __name__ == "__main__":
    sys.exit(main(*(os.path.abspath(arg) for arg in sys.argv[1:4])))
