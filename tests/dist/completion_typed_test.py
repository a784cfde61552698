#!/usr/bin/env python3
"""completion_typed_test.py COMPLETION KADREL_CLI

Types command lines with Tab into a real interactive bash on a terminal and
checks the words the finished line hands to a program: the quoting is
readline's, which no call of the completion function alone can show.
"""
import os
import pty
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time


def main():
    completion, cli = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp(prefix="kadrel-typed.")
    try:
        return run(completion, cli, work)
    finally:
        shutil.rmtree(work)


def run(completion, cli, work):
    bin_dir, data = os.path.join(work, "bin"), os.path.join(work, "the data")
    os.makedirs(bin_dir)
    os.makedirs(data)
    os.makedirs(os.path.join(work, "my dir"))
    open(os.path.join(work, "my dir", "a b.txt"), "w").close()
    os.symlink(cli, os.path.join(bin_dir, "kadrel-cli"))
    for name in ["Mary Ann", "O'Brien", "张三"]:
        subprocess.run([cli, "--data", data, "add-user", name, "0", "2020-01-01", "0"], check=True,
                       capture_output=True)
    env = dict(os.environ, PATH=bin_dir + ":" + os.environ["PATH"], TERM="dumb", LC_ALL="C.UTF-8",
               HOME=work, INPUTRC="/dev/null", PS1="$ ")

    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(work)
        os.execvpe("bash", ["bash", "--norc", "--noprofile", "-i"], env)

    def read_until(marker, timeout=10.0):
        seen, end = b"", time.time() + timeout
        while (marker is None or marker not in seen) and time.time() < end:
            ready, _, _ = select.select([fd], [], [], 0.1)
            if ready:
                try:
                    seen += os.read(fd, 4096)
                except OSError:
                    break
        return seen.decode("utf-8", "replace")

    def send(text):
        os.write(fd, text.encode())

    send("source '%s'; echo READY\n" % completion)
    read_until(b"READY\r\n$ ")
    fails = 0
    # Each line: what is typed, Tab pressed where "\t" stands; then the words
    # it became, as printf sees them.
    cases = [
        ("kadrel-cli --data the\\ data duty Mar\t", ["kadrel-cli", "--data", "the data", "duty", "Mary Ann"]),
        ("kadrel-cli --data the\\ data duty O\t", ["kadrel-cli", "--data", "the data", "duty", "O'Brien"]),
        ("kadrel-cli --data 'the data' duty \"Ma\t", ["kadrel-cli", "--data", "the data", "duty", "Mary Ann"]),
        ("kadrel-cli --data=the\\ data duty Mar\t", ["kadrel-cli", "--data=the data", "duty", "Mary Ann"]),
        ("kadrel-cli --data the\\ data export 张\t", ["kadrel-cli", "--data", "the data", "export", "张三"]),
        ("kadrel-cli export x 2026 -o my\ta\t", ["kadrel-cli", "export", "x", "2026", "-o", "my dir/a b.txt"]),
    ]
    for typed, want in cases:
        # Readline may drop what is typed ahead of a completion: each Tab is
        # let finish. Ctrl-A goes back to the start of the line, where printf
        # is put.
        for part in typed.split("\t")[:-1]:
            send(part + "\t")
            read_until(None, 1.5)
        send("\x01printf 'ARG[%s]\\n' \n")
        got = re.findall(r"^ARG\[(.*)\]\r?$", read_until(b"\r\n$ "), re.M)
        if got != want:
            print("typing %r gave %r, expected %r" % (typed, got, want))
            fails += 1
            send("\x03")  # an unclosed quote waits for more lines
            read_until(b"$ ", 2.0)
    send("exit\n")
    os.waitpid(pid, 0)
    if fails == 0:
        print("typed completion as expected")
    return 1 if fails else 0


if __name__ == "__main__":
    sys.exit(main())
