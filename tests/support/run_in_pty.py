#!/usr/bin/env python3
"""Runs a shell command on a new pseudo-terminal (its standard streams and
controlling terminal), as a person at a terminal would; writes everything the
terminal received to standard output and exits with the command's status."""
import os
import pty
import sys


def main():
    pid, master = pty.fork()
    if pid == 0:
        os.execvp("sh", ["sh", "-c", sys.argv[1]])
    received = bytearray()
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # EIO: the command and its children closed the terminal
            break
        if not chunk:
            break
        received += chunk
    _, status = os.waitpid(pid, 0)
    sys.stdout.buffer.write(received)
    sys.exit(os.waitstatus_to_exitcode(status))


if __name__ == "__main__":
    main()
