// The status icon as a StatusNotifierItem on the D-Bus session bus, and the
// hand-over between the hosts. While a StatusNotifierWatcher owns its name
// the icon is registered with it and stays out of the XEmbed tray; without
// one (or until the bus has said whether there is one, so it never shows
// twice) the XEmbed tray holds it, and when the watcher goes the XEmbed
// tray takes it back. Method calls of hosts arrive through the
// bus's descriptor, which the X11 loop polls, so they run on the UI thread.
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/files.h"
#include "window/x11/sni/sni_internal.h"
#include "window/x11/x11_internal.h"

namespace wscore::sni {

namespace {

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";

std::string ProgramName() {
  char path[4096] = {};
  if (!GetOwnProgramPath(path, sizeof path)) return "ambrel";
  std::string name = path;
  return name.substr(name.find_last_of("/\\") + 1);
}

StatusIcon* Item() { return Bus().item; }

// --- properties ------------------------------------------------------------

int String(sd_bus_message* reply, const std::string& text) {
  return sd_bus_message_append(reply, "s", text.c_str());
}

int GetCategory(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                sd_bus_error*) {
  return String(reply, "ApplicationStatus");
}

int GetId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
  return String(reply, ProgramName());
}

// The owner's title names the program ("Ambrel HTTP Server").
int GetTitle(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
             sd_bus_error*) {
  StatusIcon* icon = Item();
  std::string title = icon != nullptr ? GetWindowTextString(icon->owner) : "";
  return String(reply, title.empty() ? ProgramName() : title);
}

int GetStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
              sd_bus_error*) {
  return String(reply, "Active");
}

int GetEmpty(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
             sd_bus_error*) {
  return String(reply, "");
}

int GetWindowId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                sd_bus_error*) {
  return sd_bus_message_append(reply, "i", 0);
}

int GetFalse(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
             sd_bus_error*) {
  return sd_bus_message_append(reply, "b", 0);
}

int GetMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
            sd_bus_error*) {
  return sd_bus_message_append(reply, "o", kMenuPath);
}

// a(iiay): each picture as width, height and ARGB32 in network byte order.
int AppendPixmaps(sd_bus_message* reply, const std::vector<const StatusIcon::Picture*>& pictures) {
  int r = sd_bus_message_open_container(reply, 'a', "(iiay)");
  for (const StatusIcon::Picture* picture : pictures) {
    if (r < 0) break;
    std::vector<uint8_t> bytes;
    bytes.reserve(picture->pixels.size() * 4);
    for (uint32_t p : picture->pixels) {
      for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(p >> shift));
    }
    r = sd_bus_message_open_container(reply, 'r', "iiay");
    if (r >= 0) r = sd_bus_message_append(reply, "ii", picture->width, picture->height);
    if (r >= 0) r = sd_bus_message_append_array(reply, 'y', bytes.data(), bytes.size());
    if (r >= 0) r = sd_bus_message_close_container(reply);
  }
  return r < 0 ? r : sd_bus_message_close_container(reply);
}

std::vector<const StatusIcon::Picture*> Pictures(const StatusIcon* icon, StatusIcon::Picture* main) {
  std::vector<const StatusIcon::Picture*> pictures;
  if (icon == nullptr || icon->picture.empty()) return pictures;
  *main = StatusIcon::Picture{icon->pictureWidth, icon->pictureHeight, icon->picture};
  pictures.push_back(main);
  for (const StatusIcon::Picture& size : icon->sizes) {
    if (!size.pixels.empty()) pictures.push_back(&size);
  }
  return pictures;
}

int GetPixmap(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
              sd_bus_error*) {
  StatusIcon::Picture main;
  return AppendPixmaps(reply, Pictures(Item(), &main));
}

int GetNoPixmap(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                sd_bus_error*) {
  return AppendPixmaps(reply, {});
}

// (sa(iiay)ss): icon name, pictures, title (the tip) and a description.
int GetToolTip(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
               sd_bus_error*) {
  StatusIcon* icon = Item();
  int r = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
  if (r >= 0) r = sd_bus_message_append(reply, "s", "");
  if (r >= 0) r = AppendPixmaps(reply, {});
  if (r >= 0) r = sd_bus_message_append(reply, "ss", icon != nullptr ? icon->tip.c_str() : "", "");
  return r < 0 ? r : sd_bus_message_close_container(reply);
}

// --- methods ---------------------------------------------------------------

int OnActivate(sd_bus_message* call, void*, sd_bus_error*) {
  if (StatusIcon* icon = Item()) OnStatusIconActivate(icon);
  return sd_bus_reply_method_return(call, "");
}

int OnContextMenu(sd_bus_message* call, void*, sd_bus_error*) {
  int32_t x = 0, y = 0;
  int r = sd_bus_message_read(call, "ii", &x, &y);
  if (r < 0) return r;
  if (StatusIcon* icon = Item()) OnStatusIconContextMenu(icon, WinPoint{x, y});
  return sd_bus_reply_method_return(call, "");
}

int OnNothing(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "");
}

const sd_bus_vtable kItemTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", GetCategory, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", GetId, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", GetTitle, 0, 0),
    SD_BUS_PROPERTY("Status", "s", GetStatus, 0, 0),
    SD_BUS_PROPERTY("WindowId", "i", GetWindowId, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", GetEmpty, 0, 0),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", GetPixmap, 0, 0),
    SD_BUS_PROPERTY("OverlayIconName", "s", GetEmpty, 0, 0),
    SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", GetNoPixmap, 0, 0),
    SD_BUS_PROPERTY("AttentionIconName", "s", GetEmpty, 0, 0),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", GetNoPixmap, 0, 0),
    SD_BUS_PROPERTY("AttentionMovieName", "s", GetEmpty, 0, 0),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", GetToolTip, 0, 0),
    SD_BUS_PROPERTY("ItemIsMenu", "b", GetFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Menu", "o", GetMenu, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("ContextMenu", "ii", "", OnContextMenu, 0),
    SD_BUS_METHOD("Activate", "ii", "", OnActivate, 0),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", OnNothing, 0),
    SD_BUS_METHOD("Scroll", "is", "", OnNothing, 0),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
    SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END,
};

// --- the hand-over ---------------------------------------------------------

// The watcher accepted the item: it leaves the XEmbed tray.
void MoveToBus(StatusIcon* icon) {
  x11::ReleaseToBus(icon);
  icon->onBus = true;
  icon->width = icon->pictureWidth;
  icon->height = icon->pictureHeight;
  icon->shown = ScaleStatusIconPicture(icon->picture, icon->pictureWidth, icon->pictureHeight,
                                       icon->width, icon->height, nullptr);
  OnStatusIconDocked(icon, true);
}

// No watcher any more: the XEmbed tray takes the icon back (or it waits).
void MoveOffBus(StatusIcon* icon) {
  if (!icon->onBus) return;
  icon->onBus = false;
  OnStatusIconDocked(icon, false);
  x11::TakeFromBus(icon);
}

int OnRegistered(sd_bus_message* reply, void* offer, sd_bus_error*) {
  BusState& b = Bus();
  if (b.item == nullptr || reinterpret_cast<intptr_t>(offer) != b.offers) return 0;
  if (sd_bus_message_is_method_error(reply, nullptr)) {
    MoveOffBus(b.item);  // refused, or no answer in time
  } else {
    MoveToBus(b.item);
  }
  return 0;
}

void Register() {
  BusState& b = Bus();
  if (b.bus == nullptr || b.item == nullptr || !b.watcher) return;
  sd_bus_call_method_async(b.bus, nullptr, kWatcherName, kWatcherPath, kWatcherName,
                           "RegisterStatusNotifierItem", OnRegistered,
                           reinterpret_cast<void*>(intptr_t(b.offers)), "s", b.name.c_str());
}

void OnWatcher(bool present) {
  BusState& b = Bus();
  b.watcher = present;
  b.watcherKnown = true;
  if (present) {
    Register();  // also after a restart of the watcher: the new one knows nothing
  } else if (b.item != nullptr) {
    MoveOffBus(b.item);
  }
}

int OnNameOwnerChanged(sd_bus_message* signal, void*, sd_bus_error*) {
  const char *name = nullptr, *before = nullptr, *after = nullptr;
  if (sd_bus_message_read(signal, "sss", &name, &before, &after) < 0) return 0;
  // A watcher that leaves or restarts forgets the item: it goes back to
  // XEmbed, and to the new watcher once that one accepts it.
  if (Bus().item != nullptr) MoveOffBus(Bus().item);
  OnWatcher(after[0] != '\0');
  return 0;
}

int OnNameHasOwner(sd_bus_message* reply, void*, sd_bus_error*) {
  int has = 0;
  if (sd_bus_message_is_method_error(reply, nullptr) || sd_bus_message_read(reply, "b", &has) < 0) has = 0;
  if (!Bus().watcherKnown) OnWatcher(has != 0);
  return 0;
}

void CloseBus() {
  BusState& b = Bus();
  if (b.item != nullptr) MoveOffBus(b.item);
  if (b.bus != nullptr) sd_bus_flush_close_unref(b.bus);
  b = BusState{};
}

// Opens the session bus once: the item and menu objects, and an eye on the
// watcher's name. Without a session bus the icons stay with XEmbed.
bool OpenBus() {
  BusState& b = Bus();
  if (b.bus != nullptr) return true;
  if (sd_bus_open_user(&b.bus) < 0) {
    b.bus = nullptr;
    return false;
  }
  const std::string match = std::string("type='signal',sender='org.freedesktop.DBus',") +
                            "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
                            kWatcherName + "'";
  if (sd_bus_add_object_vtable(b.bus, nullptr, kItemPath, kItemInterface, kItemTable, nullptr) < 0 ||
      sd_bus_add_object_vtable(b.bus, nullptr, kMenuPath, "com.canonical.dbusmenu", kMenuTable, nullptr) < 0 ||
      sd_bus_add_match(b.bus, nullptr, match.c_str(), OnNameOwnerChanged, nullptr) < 0) {
    CloseBus();
    return false;
  }
  sd_bus_call_method_async(b.bus, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "NameHasOwner", OnNameHasOwner, nullptr, "s",
                           kWatcherName);
  return true;
}

// Offers `icon` under a fresh well-known name.
void Offer(StatusIcon* icon) {
  BusState& b = Bus();
  if (b.item != nullptr || !OpenBus()) return;
  b.name = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++b.offers);
  if (sd_bus_request_name(b.bus, b.name.c_str(), 0) < 0) return;
  b.item = icon;
  // Held back from XEmbed while a watcher may take it; the answer decides.
  icon->onBus = b.watcher || !b.watcherKnown;
  Register();
}

void Withdraw() {
  BusState& b = Bus();
  if (b.item == nullptr) return;
  b.item->onBus = false;
  b.item = nullptr;
  if (b.bus != nullptr) sd_bus_release_name(b.bus, b.name.c_str());  // the watcher drops it
  b.name.clear();
}

void Announce(StatusIcon* icon) {
  BusState& b = Bus();
  if (b.bus == nullptr || icon != b.item) return;
  sd_bus_emit_signal(b.bus, kItemPath, kItemInterface, "NewIcon", "");
  sd_bus_emit_signal(b.bus, kItemPath, kItemInterface, "NewToolTip", "");
  sd_bus_emit_signal(b.bus, kItemPath, kItemInterface, "NewStatus", "s", "Active");
  if (icon->menuChanged) AnnounceMenu();
  icon->menuChanged = false;
  sd_bus_flush(b.bus);
}

// --- the X11 backend's tray: the bus first, XEmbed beside it ---------------

bool Add(StatusIcon* icon) {
  icon->menuChanged = false;
  Offer(icon);
  if (x11::XEmbedTray()->add(icon)) return true;
  if (icon == Bus().item) Withdraw();
  return false;
}

void Repaint(StatusIcon* icon) {
  if (icon->onBus) {
    icon->shown = ScaleStatusIconPicture(icon->picture, icon->pictureWidth, icon->pictureHeight,
                                         icon->pictureWidth, icon->pictureHeight, nullptr);
    icon->width = icon->pictureWidth;
    icon->height = icon->pictureHeight;
  } else {
    x11::XEmbedTray()->repaint(icon);
  }
  Announce(icon);
}

void Remove(StatusIcon* icon) {
  if (icon == Bus().item) Withdraw();
  x11::XEmbedTray()->remove(icon);
  if (Bus().bus != nullptr) sd_bus_flush(Bus().bus);
}

void Shutdown() {
  CloseBus();
  x11::XEmbedTray()->shutdown();
}

// Where a bus host shows the icon is its own affair.
bool Locate(StatusIcon* icon, WinRect* out) {
  return !icon->onBus && x11::XEmbedTray()->locate(icon, out);
}

const TrayOps kTrayOps = {
    .add = Add,
    .repaint = Repaint,
    .remove = Remove,
    .shutdown = Shutdown,
    .locate = Locate,
};

int32_t MillisecondsUntil(uint64_t deadlineUs) {
  if (deadlineUs == UINT64_MAX) return -1;
  const uint64_t now = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count());
  if (deadlineUs <= now) return 0;
  return int32_t(std::min<uint64_t>((deadlineUs - now + 999) / 1000, INT32_MAX));
}

}  // namespace

BusState& Bus() {
  static BusState state;
  return state;
}

}  // namespace wscore::sni

namespace wscore::x11 {

BusPoll SessionBusPoll() {
  sd_bus* bus = sni::Bus().bus;
  BusPoll poll;
  if (bus == nullptr) return poll;
  const int events = sd_bus_get_events(bus);
  uint64_t deadline = UINT64_MAX;
  if (events < 0 || sd_bus_get_timeout(bus, &deadline) < 0) return poll;
  poll.descriptor = sd_bus_get_fd(bus);
  poll.events = static_cast<short>(events);
  poll.timeoutMs = sni::MillisecondsUntil(deadline);
  return poll;
}

// Everything the bus has for us now; a broken connection (the bus daemon
// went away) hands the icon back to XEmbed for good.
void ProcessSessionBus() {
  sd_bus* bus = sni::Bus().bus;
  if (bus == nullptr) return;
  int r = 0;
  while ((r = sd_bus_process(bus, nullptr)) > 0) {
  }
  if (r < 0 && r != -EBUSY) sni::CloseBus();
}

}  // namespace wscore::x11

const wscore::TrayOps* wscore::X11Tray() { return &sni::kTrayOps; }
