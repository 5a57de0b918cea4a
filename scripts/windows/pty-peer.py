#!/usr/bin/env python3
"""A pseudo-terminal standing in for a device on a Windows COM port under Wine.

    pty-peer.py LINK CAPTURE [REPLY]

Makes a pseudo-terminal, points LINK at its terminal side (Wine maps a COM port to it), and
writes every byte the program sends into CAPTURE until it is ended (SIGTERM). With REPLY, that
text is sent back after each byte received, for a try at Wine's receiving. The terminal side
stays open here too, so the line never hangs up while no program has it open.
"""
import os
import select
import signal
import sys
import tty

link, capture = sys.argv[1], sys.argv[2]
reply = sys.argv[3].encode() if len(sys.argv) > 3 else b""
master, slave = os.openpty()
tty.setraw(slave)
if os.path.lexists(link):
    os.remove(link)
os.symlink(os.ttyname(slave), link)
running = True


def stop(*_):
    global running
    running = False


signal.signal(signal.SIGTERM, stop)
with open(capture, "wb") as out:
    while running:
        try:
            ready, _, _ = select.select([master], [], [], 0.2)
        except InterruptedError:
            continue
        if not ready:
            continue
        try:
            data = os.read(master, 4096)
        except OSError:
            break
        out.write(data)
        out.flush()
        if reply:
            os.write(master, reply)
os.remove(link)
