#!/usr/bin/python3
"""The real program with its status icon on a private D-Bus session bus.

Two cases, each with its own Xvfb and its own `dbus-daemon --session`:
 - a watcher of our own (dbus-next) beside trayer: the icon starts in the
   XEmbed tray, moves to the bus when the watcher comes, and the item's
   properties, signals, menu and methods are checked from the bus; the
   watcher leaves (the icon goes back to trayer) and comes again;
 - Xfce's panel with its status tray as the host: the icon appears, its menu
   opens with the pointer, and "Start Server", "Shutdown Server", "Show
   Server Window" and "Close Process" work.
Screenshots land in build/test-artifacts/. Every process started here is
ended here by its id; every wait has a limit.

Usage: tray_sni_e2e.py BUILD_DIR   (in a network namespace: tests/netns-run)
"""
import asyncio
import ctypes
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import urllib.request
import zlib

from dbus_next import BusType, Message, Variant
from dbus_next.aio import MessageBus
from dbus_next.constants import PropertyAccess
from dbus_next.service import ServiceInterface, dbus_property, method, signal as dbus_signal

BUILD = os.path.abspath(sys.argv[1])
ARTIFACTS = os.path.join(BUILD, 'test-artifacts')
ICONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'src', 'app', 'resources', 'icons')
ITEM_PATH = '/StatusNotifierItem'
ITEM = 'org.kde.StatusNotifierItem'
WATCHER = 'org.kde.StatusNotifierWatcher'
MENU = 'com.canonical.dbusmenu'
LIMIT = 30.0


# --- waiting and processes ---------------------------------------------------

async def wait_until(condition, limit=LIMIT, what='a condition'):
    """Asks `condition` at growing intervals until it holds; fails after `limit`."""
    deadline = time.monotonic() + limit
    pause = 0.01
    while True:
        value = condition()
        if asyncio.iscoroutine(value):
            value = await value
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError('timed out waiting for ' + what)
        await asyncio.sleep(pause)
        pause = min(pause * 2, 0.2)


def die_with_test():
    """In a child before exec: it gets SIGTERM when the test process dies,
    so a test ended by its time limit leaves nothing behind."""
    ctypes.CDLL('libc.so.6').prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class Processes:
    """Children of this test, ended by their ids, last started first."""

    def __init__(self):
        self.started = []

    def start(self, args, env, **kwargs):
        p = subprocess.Popen(args, env=env, preexec_fn=die_with_test, **kwargs)
        self.started.append(p)
        return p

    def end(self, p):
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait(5)

    def end_all(self):
        for p in reversed(self.started):
            self.end(p)


def read_line(stream, limit=10.0):
    """One line from a child's pipe, within a limit."""
    import select
    line = b''
    deadline = time.monotonic() + limit
    while not line.endswith(b'\n'):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([stream], [], [], left)[0]:
            raise AssertionError('no line from a child in time')
        chunk = os.read(stream.fileno(), 1)
        if not chunk:
            raise AssertionError('the child closed its output')
        line += chunk
    return line.decode().strip()


class Desktop:
    """A private display and session bus, and what runs on them."""

    def __init__(self, name):
        self.name = name
        self.procs = Processes()
        self.dir = tempfile.mkdtemp(prefix='ambrel_sni_')
        self.env = dict(os.environ)
        for key in ('XDG_DATA_HOME', 'XDG_CONFIG_HOME', 'XDG_CACHE_HOME', 'XDG_RUNTIME_DIR'):
            path = os.path.join(self.dir, key.lower())
            os.makedirs(path, mode=0o700)
            self.env[key] = path
        self.env['NO_AT_BRIDGE'] = '1'  # no accessibility bus for GTK

    def start(self):
        xvfb = self.procs.start(['Xvfb', '-displayfd', '1', '-screen', '0', '1024x768x24',
                                 '-nolisten', 'tcp', '-noreset'], self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.env['DISPLAY'] = ':' + read_line(xvfb.stdout)
        bus = self.procs.start(['dbus-daemon', '--session', '--nofork', '--print-address=1'],
                               self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.env['DBUS_SESSION_BUS_ADDRESS'] = read_line(bus.stdout)
        os.environ['DBUS_SESSION_BUS_ADDRESS'] = self.env['DBUS_SESSION_BUS_ADDRESS']

    def program(self, running=False):
        """A copy of the program with its own settings and site."""
        site = os.path.join(self.dir, 'site')
        os.makedirs(site)
        with open(os.path.join(site, 'index.html'), 'w') as f:
            f.write('<p>sni test page</p>\n')
        shutil.copy(os.path.join(BUILD, 'ambrel'), self.dir)
        settings = os.path.join(self.dir, 'settings.dat')
        subprocess.run([os.path.join(BUILD, 'examples', 'ambrel_first_settings'), settings, site,
                        '/usr/bin', os.path.join(self.dir, 'logs')], check=True, timeout=60)
        with open(settings, 'r+b') as f:  # the status: the first of the last five numbers
            f.seek(-20, os.SEEK_END)
            f.write(struct.pack('<i', 1 if running else 2))
        return self.procs.start([os.path.join(self.dir, 'ambrel')], self.env)

    def run(self, args):
        return subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=60)

    def close(self):
        self.procs.end_all()
        shutil.rmtree(self.dir, ignore_errors=True)


# --- the X display, as a client sees it ----------------------------------------

def windows(desk, cls, visible=True):
    """Window ids of class `cls` (viewable ones by default)."""
    args = ['xdotool', 'search'] + (['--onlyvisible'] if visible else []) + ['--class', '^' + cls + '$']
    return [int(w) for w in desk.run(args).stdout.split()]


def geometry(desk, window):
    """(x, y, width, height) on the screen."""
    out = desk.run(['xdotool', 'getwindowgeometry', '--shell', str(window)]).stdout
    values = dict(line.split('=') for line in out.split() if '=' in line)
    return tuple(int(values.get(k, 0)) for k in ('X', 'Y', 'WIDTH', 'HEIGHT'))


def embedded_icons(desk):
    """Our XEmbed icon windows that a tray holds (their parent is not the root)."""
    held = []
    for w in windows(desk, 'AmbrelStatusIcon', visible=False):
        info = desk.run(['xwininfo', '-children', '-id', str(w)]).stdout
        parent = [line for line in info.splitlines() if 'Parent window id' in line]
        if parent and '(the root window)' not in parent[0]:
            held.append(w)
    return held


def grab(desk, x, y, width, height, name=None):
    """The screen's pixels in a rectangle as rows of (r, g, b); saved as `name`.png."""
    crop = '%dx%d+%d+%d' % (width, height, x, y)
    raw = subprocess.run(['import', '-display', desk.env['DISPLAY'], '-window', 'root', '-crop', crop,
                          '+repage', '-depth', '8', 'rgb:-'], capture_output=True, timeout=60).stdout
    if name:
        os.makedirs(ARTIFACTS, exist_ok=True)
        subprocess.run(['import', '-display', desk.env['DISPLAY'], '-window', 'root', '-crop', crop,
                        '+repage', os.path.join(ARTIFACTS, name + '.png')], timeout=60)
    return [[tuple(raw[(r * width + c) * 3:(r * width + c) * 3 + 3]) for c in range(width)]
            for r in range(height) if len(raw) >= (r + 1) * width * 3]


def reddish(p):
    return p[0] > 150 and p[1] < 100


def greenish(p):
    return p[1] > 120 and p[0] < 100


def close_box(desk, window):
    """What a window manager's close box sends: WM_DELETE_WINDOW."""
    x11 = ctypes.cdll.LoadLibrary('libX11.so.6')
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    d = x11.XOpenDisplay(desk.env['DISPLAY'].encode())
    protocols = x11.XInternAtom(d, b'WM_PROTOCOLS', 0)
    delete = x11.XInternAtom(d, b'WM_DELETE_WINDOW', 0)
    # XClientMessageEvent: type, serial, send_event, display, window, message_type, format, data.
    event = struct.pack('<iiQiiQQQii5q', 33, 0, 0, 0, 0, 0, window, protocols, 32, 0, delete, 0, 0, 0, 0)
    x11.XSendEvent(d, window, 0, 0, event.ljust(192, b'\0'))
    x11.XCloseDisplay(d)  # flushes


def main_window(desk):
    shown = windows(desk, 'AmbrelGUI_Class')
    return shown[0] if shown else None


def fetch(path=''):
    """The site's page on port 80, or '' when nothing answers."""
    try:
        direct = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        with direct.open('http://127.0.0.1/' + path, timeout=5) as r:
            return r.read().decode()
    except OSError:
        return ''


def png_rows(data):
    """Width, height and rows of (r, g, b, a) of an 8-bit RGBA PNG without filters."""
    assert data[:8] == b'\x89PNG\r\n\x1a\n'
    at, idat, width, height = 8, b'', 0, 0
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b'IHDR':
            width, height = struct.unpack('>II', body[:8])
            assert body[8:10] == b'\x08\x06'
        elif kind == b'IDAT':
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 4 + 1
    assert all(raw[r * stride] == 0 for r in range(height))  # no filter
    return width, height, [[tuple(raw[r * stride + 1 + c * 4:r * stride + 5 + c * 4]) for c in range(width)]
                           for r in range(height)]


def png_size_and_centre(data):
    """Width, height and the centre pixel (r, g, b, a) of an 8-bit RGBA PNG."""
    width, height, rows = png_rows(data)
    return width, height, rows[height // 2][width // 2]


def shows_drawing(desk, centre, number, background, name, size=22):
    """Whether the screen around `centre` shows icon `number` as we draw it
    at 22, 32 or 48 pixels, scaled to `size` (the panel picks one of the
    sizes and scales it) over `background`: the mean difference of the best
    place, a few pixels around the centre, is under 2%."""
    shown = grab(desk, centre[0] - size // 2 - 3, centre[1] - size // 2 - 3, size + 6, size + 6, name)
    best = 1.0
    for drawn in (22, 32, 48):
        path = os.path.join(ICONS, 'icon%02d-%d.png' % (number, drawn))
        raw = subprocess.run(['convert', path, '-resize', '%dx%d' % (size, size), '-background',
                              '#%02x%02x%02x' % background, '-flatten', '-depth', '8', 'rgb:-'],
                             capture_output=True, timeout=60).stdout
        for dy in range(7):
            for dx in range(7):
                total = sum(abs(raw[(y * size + x) * 3 + k] - shown[y + dy][x + dx][k])
                            for y in range(size) for x in range(size) for k in range(3))
                best = min(best, total / (size * size * 3 * 255))
    return best < 0.02


# --- a watcher of our own, and the item seen from the bus ----------------------

class Watcher(ServiceInterface):
    """The smallest StatusNotifierWatcher: it notes every item registered."""

    def __init__(self):
        super().__init__(WATCHER)
        self.items = []

    @method()
    def RegisterStatusNotifierItem(self, service: 's'):
        self.items.append(service)
        self.StatusNotifierItemRegistered(service)

    @method()
    def RegisterStatusNotifierHost(self, service: 's'):
        pass

    @dbus_property(access=PropertyAccess.READ)
    def RegisteredStatusNotifierItems(self) -> 'as':
        return self.items

    @dbus_property(access=PropertyAccess.READ)
    def IsStatusNotifierHostRegistered(self) -> 'b':
        return True

    @dbus_property(access=PropertyAccess.READ)
    def ProtocolVersion(self) -> 'i':
        return 0

    @dbus_signal()
    def StatusNotifierItemRegistered(self, service) -> 's':
        return service


async def start_watcher():
    bus = await MessageBus(bus_type=BusType.SESSION).connect()
    watcher = Watcher()
    bus.export('/StatusNotifierWatcher', watcher)
    await bus.request_name(WATCHER)
    return bus, watcher


class Item:
    """The program's item and menu through a client connection, with the
    signals it sent."""

    async def open(self, name):
        self.bus = await MessageBus(bus_type=BusType.SESSION).connect()
        self.signals = []
        item_xml = await self.bus.introspect(name, ITEM_PATH)
        self.item = self.bus.get_proxy_object(name, ITEM_PATH, item_xml).get_interface(ITEM)
        # dbus-next counts a handler's parameters against the signal's.
        self.item.on_new_icon(lambda: self.signals.append('new_icon'))
        self.item.on_new_tool_tip(lambda: self.signals.append('new_tool_tip'))
        self.item.on_new_status(lambda status: self.signals.append('new_status'))
        menu_path = await self.item.get_menu()
        menu_xml = await self.bus.introspect(name, menu_path)
        self.menu = self.bus.get_proxy_object(name, menu_path, menu_xml).get_interface(MENU)
        self.menu.on_layout_updated(lambda revision, parent: self.signals.append('layout_updated'))
        return self

    async def pixmaps(self):
        """{size: centre pixel (a, r, g, b)} of IconPixmap."""
        found = {}
        for width, height, data in await self.item.get_icon_pixmap():
            assert len(data) == width * height * 4, (width, height, len(data))
            at = ((height // 2) * width + width // 2) * 4
            found[width] = tuple(data[at:at + 4])
        return found

    async def tip(self):
        return (await self.item.get_tool_tip())[2]

    async def menu_items(self):
        """[(id, label or '-', enabled, icon PNG or None)] of the top level."""
        revision, (root, props, children) = await self.menu.call_get_layout(0, -1, [])
        assert props['children-display'].value == 'submenu'
        items = []
        for child in children:
            item_id, p, _ = child.value
            if p.get('type') and p['type'].value == 'separator':
                items.append((item_id, '-', True, None))
            else:
                items.append((item_id, p['label'].value, p['enabled'].value,
                              p['icon-data'].value if 'icon-data' in p else None))
        return items

    async def click(self, label):
        for item_id, text, _, _ in await self.menu_items():
            if text == label:
                await self.menu.call_event(item_id, 'clicked', Variant('s', ''), 0)
                return
        raise AssertionError('no menu item ' + label)


def assert_equal(got, expected, what):
    assert got == expected, '%s: %r, expected %r' % (what, got, expected)


def argb_reddish(p):
    return p[0] == 255 and p[1] > 150 and p[2] < 100


def argb_greenish(p):
    return p[0] == 255 and p[2] > 120 and p[1] < 100


async def exit_code(program, limit=LIMIT):
    await wait_until(lambda: program.poll() is not None, limit, 'the program to end')
    return program.returncode


# --- case 1: our watcher beside trayer -------------------------------------------

async def checks_properties_and_menu(item):
    assert_equal(await item.item.get_category(), 'ApplicationStatus', 'Category')
    assert_equal(await item.item.get_id(), 'ambrel', 'Id')
    assert_equal(await item.item.get_title(), 'Ambrel HTTP Server', 'Title')
    assert_equal(await item.item.get_status(), 'Active', 'Status')
    assert_equal(await item.item.get_item_is_menu(), False, 'ItemIsMenu')
    assert_equal(await item.tip(), 'Ambrel HTTP Server - Not Running', 'the stopped tip')
    pixmaps = await item.pixmaps()
    assert_equal(sorted(pixmaps), [16, 22, 32, 48], 'IconPixmap sizes')
    assert all(argb_reddish(p) for p in pixmaps.values()), pixmaps
    menu = await item.menu_items()
    assert_equal([(i, text, enabled) for i, text, enabled, _ in menu],
                 [(17, 'Show Server Window', True), (15, 'Start Server', True), (1002, '-', True),
                  (14, 'About Ambrel HTTP Server...', True), (18, 'Close Process', True)], 'the menu')
    for _, text, _, png in menu:
        if text != '-':
            width, height, centre = png_size_and_centre(bytes(png))
            assert (width, height) == (16, 16) and centre[3] > 0, (text, width, height, centre)


async def watcher_case():
    desk = Desktop('watcher')
    try:
        desk.start()
        desk.procs.start(['trayer', '--edge', 'top', '--align', 'right', '--widthtype', 'request',
                          '--height', '32', '--SetDockType', 'false', '--transparent', 'false',
                          '--tint', '0x4080c0'], desk.env)
        program = desk.program()
        await wait_until(lambda: embedded_icons(desk), what='the icon in trayer before any watcher')
        await wait_until(lambda: main_window(desk), what='the main window')

        watcher_bus, watcher = await start_watcher()
        await wait_until(lambda: watcher.items, what='the item registered with the watcher')
        name = watcher.items[0]
        assert name.startswith('org.kde.StatusNotifierItem-%d-' % program.pid), name
        await wait_until(lambda: not embedded_icons(desk), what='the icon leaving trayer')
        item = await Item().open(name)
        await checks_properties_and_menu(item)

        # "Start Server" from the bus menu: the signals, the running tip,
        # picture and menu, and the site answers.
        await item.click('Start Server')
        await wait_until(lambda: {'new_icon', 'new_tool_tip', 'new_status', 'layout_updated'} <= set(item.signals),
                         what='the new-icon, tooltip, status and layout signals')
        assert_equal(await item.tip(), 'Ambrel HTTP Server - Running', 'the running tip')
        assert all(argb_greenish(p) for p in (await item.pixmaps()).values())
        assert_equal((await item.menu_items())[1][1], 'Shutdown Server', 'the second item while running')
        await wait_until(lambda: 'sni test page' in fetch('index.html'), what='the site')

        # ContextMenu opens the control menu at the host's point; Escape closes it.
        await item.item.call_context_menu(300, 200)
        popup = (await wait_until(lambda: windows(desk, 'AmbrelPopup_WndClass'), what='the menu'))[0]
        x, y, width, height = geometry(desk, popup)
        assert abs(x - 300) <= 2 and abs(y - 200) <= 2, (x, y)
        grab(desk, x, y, width, height, 'sni-context-menu')
        desk.run(['xdotool', 'key', 'Escape'])
        await wait_until(lambda: not windows(desk, 'AmbrelPopup_WndClass'), what='the menu to close')

        # With the icon on the bus the close box hides the window; Activate shows it.
        close_box(desk, main_window(desk))
        await wait_until(lambda: not main_window(desk), what='the close box to hide the window')
        await item.item.call_activate(10, 10)
        await wait_until(lambda: main_window(desk), what='Activate to show the window')

        # The watcher leaves: trayer takes the icon back; a new watcher takes it again.
        watcher_bus.disconnect()
        await wait_until(lambda: embedded_icons(desk), what='the icon back in trayer')
        x, y, width, height = geometry(desk, embedded_icons(desk)[0])
        pixels = grab(desk, x, y, width, height, 'sni-back-in-trayer')
        assert greenish(pixels[height // 2][width // 2]), pixels[height // 2][width // 2]
        watcher_bus, watcher = await start_watcher()
        await wait_until(lambda: watcher.items == [name], what='the item registered again')
        await wait_until(lambda: not embedded_icons(desk), what='the icon leaving trayer again')

        await item.click('Close Process')
        assert_equal(await exit_code(program), 0, 'the exit code')
        watcher_bus.disconnect()
        item.bus.disconnect()
    finally:
        desk.close()


# --- case 2: Xfce's panel with its status tray -----------------------------------

PANEL_CONFIG = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=512;y=16"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="length" type="uint" value="100"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray">
      <property name="icon-size" type="uint" value="22"/>
      <property name="square-icons" type="bool" value="true"/>
    </property>
  </property>
</channel>
"""


async def watcher_items(bus):
    """The items the panel's own watcher knows, or None while it has none."""
    reply = await bus.call(Message(destination=WATCHER, path='/StatusNotifierWatcher',
                                   interface='org.freedesktop.DBus.Properties', member='Get',
                                   signature='ss', body=[WATCHER, 'RegisteredStatusNotifierItems']))
    return reply.body[0].value if reply.message_type.name == 'METHOD_RETURN' else None


def find_icon(desk, panel, test):
    """The centre of the pixels of the panel that pass `test`, or None."""
    x, y, width, height = geometry(desk, panel)
    rows = grab(desk, x, y, width, height)
    hits = [(c, r) for r, row in enumerate(rows) for c, p in enumerate(row) if test(p)]
    if len(hits) < 10:
        return None
    xs, ys = [h[0] for h in hits], [h[1] for h in hits]
    return x + (min(xs) + max(xs)) // 2, y + (min(ys) + max(ys)) // 2


# The panel draws the menu itself (GTK): the menu's items, keyed from the
# top, separators skipped. Our own popup (a host that asks ContextMenu) counts
# the separator.
PANEL_MENU_KEYS = {'Show Server Window': 1, 'Start Server': 2, 'Shutdown Server': 2,
                   'About Ambrel HTTP Server...': 3, 'Close Process': 4}


def menus(desk):
    """The status tray's menu windows on screen (the plugin runs in the
    panel's wrapper process), and ours."""
    theirs = [w for w in windows(desk, 'Wrapper-2.0')
              if 'POPUP_MENU' in desk.run(['xprop', '-id', str(w), '_NET_WM_WINDOW_TYPE']).stdout]
    return theirs + windows(desk, 'AmbrelPopup_WndClass')


async def open_panel_menu(desk, at, shot=None):
    # GTK takes a click only on a widget that saw the pointer enter first.
    desk.run(['xdotool', 'mousemove', str(at[0]), str(at[1]), 'sleep', '0.2', 'click', '3'])
    menu = (await wait_until(lambda: menus(desk), what='the menu'))[0]
    x, y, width, height = await wait_until(lambda: (lambda g: g if g[2] > 40 else None)(geometry(desk, menu)),
                                           what='the menu laid out')
    if shot:
        # A menu shows once painted: wait until it holds more than one colour.
        await wait_until(lambda: len({p for row in grab(desk, x, y, width, height) for p in row}) > 2,
                         what='the menu painted')
        grab(desk, x, y, width, height, shot)
    return menu


def choose(desk, menu, label):
    downs = PANEL_MENU_KEYS[label]
    if menu in windows(desk, 'AmbrelPopup_WndClass'):
        downs += label in ('About Ambrel HTTP Server...', 'Close Process')
    desk.run(['xdotool', 'key', '--delay', '60'] + ['Down'] * downs + ['Return'])


async def xfce_case():
    desk = Desktop('xfce')
    try:
        channel = os.path.join(desk.env['XDG_CONFIG_HOME'], 'xfce4', 'xfconf', 'xfce-perchannel-xml')
        os.makedirs(channel)
        with open(os.path.join(channel, 'xfce4-panel.xml'), 'w') as f:
            f.write(PANEL_CONFIG)
        desk.start()
        desk.procs.start(['xfce4-panel', '--disable-wm-check'], desk.env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        client = await MessageBus(bus_type=BusType.SESSION).connect()
        async def has_watcher():
            return await watcher_items(client) is not None
        await wait_until(has_watcher, what="the panel's watcher")
        panel = (await wait_until(lambda: windows(desk, 'Xfce4-panel'), what='the panel'))[0]
        program = desk.program()
        await wait_until(lambda: main_window(desk), what='the main window')
        items = await wait_until(lambda: watcher_items(client), what='the item in the panel')
        assert items[0].startswith('org.kde.StatusNotifierItem-%d-' % program.pid), items
        assert not embedded_icons(desk)  # the panel also holds the XEmbed tray: one icon only
        stopped = await wait_until(lambda: find_icon(desk, panel, reddish), what='the stopped icon')
        x, y, width, height = geometry(desk, panel)
        grab(desk, x, y, width, height, 'xfce-panel-stopped')
        background = grab(desk, x + width - 4, y + height // 2, 1, 1)[0][0]
        assert shows_drawing(desk, stopped, 12, background, 'xfce-icon-stopped'), 'not the stopped drawing'
        assert not shows_drawing(desk, stopped, 11, background, None)


        # A right click opens the menu the panel draws from the bus menu.
        menu = await open_panel_menu(desk, stopped, 'xfce-menu-stopped')
        choose(desk, menu, 'Start Server')
        running = await wait_until(lambda: find_icon(desk, panel, greenish), what='the running icon')
        grab(desk, x, y, width, height, 'xfce-panel-running')
        assert shows_drawing(desk, running, 11, background, 'xfce-icon-running'), 'not the running drawing'

        await wait_until(lambda: 'sni test page' in fetch('index.html'), what='the site')

        # The close box hides the window; a left click on the icon shows it.
        close_box(desk, main_window(desk))
        await wait_until(lambda: not main_window(desk), what='the close box to hide the window')
        desk.run(['xdotool', 'mousemove', str(running[0]), str(running[1]), 'click', '1'])
        await wait_until(lambda: main_window(desk), what='a click on the icon to show the window')

        # "Shutdown Server", then "Show Server Window" for a hidden window.
        menu = await open_panel_menu(desk, running, 'xfce-menu-running')
        choose(desk, menu, 'Shutdown Server')
        await wait_until(lambda: find_icon(desk, panel, reddish), what='the stopped icon again')
        assert fetch('index.html') == ''
        close_box(desk, main_window(desk))
        await wait_until(lambda: not main_window(desk), what='the close box to hide the window')
        choose(desk, await open_panel_menu(desk, stopped), 'Show Server Window')
        await wait_until(lambda: main_window(desk), what='"Show Server Window"')

        # "Close Process": the program ends with code 0 and its icon leaves the panel.
        choose(desk, await open_panel_menu(desk, stopped), 'Close Process')
        assert_equal(await exit_code(program), 0, 'the exit code')
        await wait_until(lambda: find_icon(desk, panel, reddish) is None, what='the icon to leave the panel')
        client.disconnect()
    finally:
        desk.close()


def skip_if_missing():
    missing = [tool for tool in ('Xvfb', 'dbus-daemon', 'xfce4-panel', 'trayer', 'xdotool', 'xprop',
                                 'xwininfo', 'import', 'convert') if shutil.which(tool) is None]
    if missing:
        print('SKIPPED: the status icon test needs ' + ', '.join(missing) +
              '; run scripts/setup.sh to install them')
        sys.exit(77)


def main():
    skip_if_missing()
    failed = []
    for case in (xfce_case, watcher_case):
        try:
            asyncio.run(asyncio.wait_for(case(), 150))
            print('PASSED', case.__name__)
        except Exception:
            traceback.print_exc()
            failed.append(case.__name__)
    if failed:
        print('FAILED', ' '.join(failed))
        sys.exit(1)


if __name__ == '__main__':
    main()
