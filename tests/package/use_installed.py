#!/usr/bin/env python3
"""An ordinary user's first use of the installed program, on a display of its
own (run under xvfb-run, in a network namespace, as that user).

Usage: use_installed.py SITE_FOLDER

The administrator's default beside /usr/bin/ambrel says "Not Running" and
"CGI Enabled". The user types SITE_FOLDER, chooses "Running" and presses
Apply, as a hand would: the site must answer on port 80, and the settings
must land in the user's ~/.config/ambrel/settings.dat, the administrator's
choices and the user's in the same bytes as everywhere. Every wait is
bounded; any failure raises.
"""
import os
import struct
import subprocess
import sys
import time
import urllib.request

PROGRAM = '/usr/bin/ambrel'
TITLE = 'Ambrel HTTP Server'
# Client points of the main window: the serving field, the status selector's
# box and the Apply button.
SERVING_FIELD = (175, 159)
STATUS_BOX = (55, 130)
APPLY = (356, 431)


def wait_until(what, done, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = done()
        if result:
            return result
        time.sleep(0.1)
    raise AssertionError(f'gave up waiting: {what}')


def xdotool(*args):
    return subprocess.run(['xdotool', *args], capture_output=True, text=True, timeout=30).stdout


def fetch(path='/'):
    try:
        with urllib.request.urlopen(f'http://127.0.0.1{path}', timeout=5) as reply:
            return reply.read().decode('utf-8', 'replace')
    except OSError:
        return ''


def settings_bytes(serving, ids):
    texts = [serving.encode(), b'', b'']
    return b''.join(struct.pack('<I', len(t)) + t for t in texts) + struct.pack('<5i', *ids)


def main():
    site = sys.argv[1]
    own = os.path.expanduser('~/.config/ambrel/settings.dat')
    assert not os.path.exists(own), own
    program = subprocess.Popen([PROGRAM])
    try:
        window = wait_until('the main window', lambda: xdotool('search', '--name', f'^{TITLE}$').split())[0]
        shell = dict(line.split('=', 1) for line in xdotool('getwindowgeometry', '--shell', window).split())
        x, y = int(shell['X']), int(shell['Y'])
        sizes = subprocess.run(['xprop', '-len', '1000000', '-id', window, '_NET_WM_ICON'],
                               capture_output=True, text=True, timeout=30).stdout
        for size in (16, 32, 48, 128, 256):
            assert f'Icon ({size} x {size}):' in sizes, f'no {size} px icon'

        def click(point, then=()):
            xdotool('mousemove', str(x + point[0]), str(y + point[1]), 'sleep', '0.2', 'click', '1',
                    'sleep', '0.3', *then)

        click(SERVING_FIELD, ('type', '--delay', '5', site))
        # The status list opens under its box; its first row is "Running".
        click(STATUS_BOX)
        wait_until('the status list', lambda: xdotool('search', '--onlyvisible', '--class',
                                                      '^AmbrelPopup_WndClass$').strip())
        row = str(y + STATUS_BOX[1] + 25)
        xdotool('mousemove', str(x + STATUS_BOX[0]), row, 'sleep', '0.2', 'mousemove',
                str(x + STATUS_BOX[0] + 4), row, 'sleep', '0.2', 'click', '1', 'sleep', '0.3')
        click(APPLY)
        wait_until('the site on port 80', lambda: 'Ambrel demo site' in fetch())
        # Running, Local Server, PHP disabled, CGI enabled (the administrator's), logging disabled.
        expected = settings_bytes(site, (1, 3, 7, 8, 11))
        wait_until('the user\'s settings file',
                   lambda: os.path.exists(own) and open(own, 'rb').read() == expected, 10)
        print(f'use_installed: served {site} on port 80; settings in {own}')
    finally:
        program.terminate()
        try:
            program.wait(timeout=20)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()


if __name__ == '__main__':
    main()
