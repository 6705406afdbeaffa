#!/usr/bin/env python3
"""The man page keeps up with --help: every command that `kowaki-cli --help`
lists has an entry under COMMANDS, every option its --help names appears in
that command's entries or under OPTIONS (those several commands share), and
every exit code under EXIT STATUS.

usage: man_page_test.py KOWAKI_CLI MAN_PAGE
"""

import re
import subprocess
import sys


def run_help(cli, *args):
    return subprocess.run([cli, *args, "--help", "--lang", "en"], check=True,
                          capture_output=True, text=True).stdout


def plain(roff):
    """The text of roff source: fonts and escapes gone, so options read as typed."""
    text = re.sub(r"\\f[BIRP]", "", roff)
    return text.replace("\\-", "-").replace("\\&", "")


def command_entries(page):
    """Each command's entries under COMMANDS: the tag line and its paragraph."""
    commands = page.split("\n.SH COMMANDS\n", 1)[1].split("\n.SH ", 1)[0]
    entries = {}
    for block in ("\n" + commands).split("\n.TP")[1:]:
        tag = block.split("\n", 2)[1]
        if tag.startswith(".B "):
            name = plain(tag)[3:].split()[0]
            entries[name] = entries.get(name, "") + plain(block)
    return entries


def section(page, title):
    return plain(page.split(f"\n.SH {title}\n", 1)[1].split("\n.SH ", 1)[0])


def main(cli, man_page):
    page = open(man_page, encoding="utf-8").read()
    shared = section(page, "OPTIONS")
    overall = run_help(cli)
    listed = re.findall(r"^  ([a-z]+)  ", overall.split("\ncommands:\n", 1)[1], re.M)
    entries = command_entries(page)
    problems = []
    for command in listed:
        if command not in entries:
            problems.append(f"{command}: no entry under COMMANDS")
            continue
        usage = run_help(cli, command).split("\noptions of every command:", 1)[0]
        for option in sorted(set(re.findall(r"(?<![\w-])--?[a-z][\w-]*", usage))):
            if option not in entries[command] and option not in shared:
                problems.append(f"{command}: {option} is in --help, not in the man page")
    status = section(page, "EXIT STATUS")
    for code in re.findall(r"^  (\d+) ", overall.split("\nexit codes:\n", 1)[1], re.M):
        if f"\n.B {code}\n" not in status:
            problems.append(f"exit code {code}: not under EXIT STATUS")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
