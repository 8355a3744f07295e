#!/usr/bin/env python3
"""GNOME Shell's D-Bus interfaces for the tests (DBUS_SESSION_BUS_ADDRESS:
the shell's bus).
   gnome_tool.py shot X Y W H FILE.png   a screenshot of that area
   gnome_tool.py key CODE                 presses and releases an evdev key
The shell lets only the screenshot tool take screenshots: this script owns
its bus name first. Keys go through Mutter's remote-desktop interface; the
first key of a new virtual keyboard only comes with its entry, so a
throw-away key (left Shift) goes first."""
import sys
import time

import dbus

bus = dbus.SessionBus()
what = sys.argv[1]
if what == "shot":
    x, y, w, h = (int(v) for v in sys.argv[2:6])
    bus.request_name("org.gnome.Screenshot")
    shell = dbus.Interface(bus.get_object("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot"),
                           "org.gnome.Shell.Screenshot")
    ok, _ = shell.ScreenshotArea(x, y, w, h, False, sys.argv[6])
    sys.exit(0 if ok else "gnome_tool: the screenshot failed")
elif what == "key":
    desktop = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop"),
                             "org.gnome.Mutter.RemoteDesktop")
    path = desktop.CreateSession()
    session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", path),
                             "org.gnome.Mutter.RemoteDesktop.Session")
    session.Start()
    for code in (42, int(sys.argv[2])):
        time.sleep(0.3)
        session.NotifyKeyboardKeycode(code, True)
        session.NotifyKeyboardKeycode(code, False)
    time.sleep(0.2)
    session.Stop()
else:
    sys.exit(f"gnome_tool: {what}?")
