// Shared state of the status icon on the D-Bus session bus: the item
// (sni_tray.cpp) and its menu (sni_menu.cpp).
//
// The bus library is sd-bus, not libdbus-1: it hands the loop one descriptor,
// the events to wait for and a deadline, which the X11 loop polls beside the
// X connection with three calls; and it builds the properties and
// introspection interfaces from a table of members, so the item and the menu
// are tables here rather than hand-written dispatchers.
#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <vector>

#include "window/tray_core.h"

namespace wscore::sni {

inline constexpr const char* kMenuPath = "/MenuBar";

struct BusState {
  sd_bus* bus = nullptr;
  StatusIcon* item = nullptr;  // the icon the bus offers (one at a time)
  std::string name;            // our well-known name while it is offered
  int32_t offers = 0;
  bool watcher = false;        // a watcher owns its name now
  bool watcherKnown = false;   // the bus has answered whether one does
  uint32_t menuRevision = 1;
};

BusState& Bus();

// The menu object's member table.
extern const sd_bus_vtable kMenuTable[];

// Tells hosts that the menu changed.
void AnnounceMenu();

// The picture as a PNG file (what dbusmenu's icon-data carries).
std::vector<uint8_t> EncodePng(const StatusIcon::Picture& picture);

}  // namespace wscore::sni
