#!/usr/bin/env python3
"""Screenshot of one KWin output through org.kde.KWin.ScreenShot2, as PNG.
   kwin_shot.py OUTPUT-NAME FILE.png   (DBUS_SESSION_BUS_ADDRESS: KWin's bus)
KWin writes the raw image into a pipe and answers its size and format."""
import os
import subprocess
import sys
import threading

import dbus

name, path = sys.argv[1], sys.argv[2]
bus = dbus.SessionBus()
shots = dbus.Interface(bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"), "org.kde.KWin.ScreenShot2")
read_end, write_end = os.pipe()
chunks = []
reader = threading.Thread(target=lambda: chunks.extend(iter(lambda: os.read(read_end, 1 << 20), b"")))
reader.start()
try:
    answer = shots.CaptureScreen(name, {"native-resolution": True}, dbus.types.UnixFd(write_end))
finally:
    os.close(write_end)  # the reader sees the end of the pipe in any case
    reader.join()
width, height, stride, fmt = (int(answer[k]) for k in ("width", "height", "stride", "format"))
# QImage's 32-bit formats (RGB32 4, ARGB32 5, premultiplied 6) are B, G, R, A in memory.
if fmt not in (4, 5, 6):
    sys.exit(f"kwin_shot: image format {fmt}")
data = b"".join(chunks)
rows = b"".join(data[y * stride:y * stride + width * 4] for y in range(height))
subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "bgra:-", "-alpha", "off", path],
               input=rows, check=True)
