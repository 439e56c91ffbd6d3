// The status icon's menu as a com.canonical.dbusmenu object, for hosts that
// draw the menu themselves: one flat level of the owner's items with their
// labels, icons (PNG) and enabled states. A click reaches the owner as the
// icon's menu message.
#include <cstring>
#include <string>

#include "window/x11/sni/sni_internal.h"

namespace wscore::sni {

namespace {

constexpr int32_t kSeparatorIdBase = 1000;

// Bus ids: the owner's own id, or one past the items for separators (the
// owner gives them -1). 0 is the root.
int32_t BusId(const StatusIcon::MenuItem& item, size_t index) {
  return item.id > 0 ? item.id : kSeparatorIdBase + int32_t(index);
}

const StatusIcon::MenuItem* ItemOf(int32_t busId) {
  StatusIcon* icon = Bus().item;
  if (icon == nullptr) return nullptr;
  for (size_t i = 0; i < icon->menu.size(); ++i) {
    if (BusId(icon->menu[i], i) == busId) return &icon->menu[i];
  }
  return nullptr;
}

// dbusmenu labels mark mnemonics with '_'; ours have none.
std::string Label(const std::string& text) {
  std::string label;
  for (char c : text) label += c == '_' ? "__" : std::string(1, c);
  return label;
}

int Entry(sd_bus_message* m, const char* key, const char* type, const void* value) {
  int r = sd_bus_message_open_container(m, 'e', "sv");
  if (r >= 0) r = sd_bus_message_append(m, "s", key);
  if (r >= 0) r = sd_bus_message_open_container(m, 'v', type);
  if (r >= 0) {
    if (type[0] == 's') r = sd_bus_message_append(m, "s", static_cast<const char*>(value));
    else if (type[0] == 'b') r = sd_bus_message_append(m, "b", *static_cast<const int*>(value));
    else {
      const auto* png = static_cast<const std::vector<uint8_t>*>(value);
      r = sd_bus_message_append_array(m, 'y', png->data(), png->size());
    }
  }
  if (r >= 0) r = sd_bus_message_close_container(m);
  return r < 0 ? r : sd_bus_message_close_container(m);
}

// a{sv}: the item's properties (the root: its children show as a menu).
int AppendProperties(sd_bus_message* m, const StatusIcon::MenuItem* item) {
  int r = sd_bus_message_open_container(m, 'a', "{sv}");
  if (r < 0) return r;
  if (item == nullptr) {
    r = Entry(m, "children-display", "s", "submenu");
  } else if (item->id == -1) {
    r = Entry(m, "type", "s", "separator");
  } else {
    const std::string label = Label(item->text);
    const int enabled = item->enabled ? 1 : 0;
    r = Entry(m, "label", "s", label.c_str());
    if (r >= 0) r = Entry(m, "enabled", "b", &enabled);
    if (r >= 0 && !item->icon.pixels.empty()) {
      const std::vector<uint8_t> png = EncodePng(item->icon);
      r = Entry(m, "icon-data", "ay", &png);
    }
  }
  return r < 0 ? r : sd_bus_message_close_container(m);
}

// (ia{sv}av): one node; the root holds every item as a childless node.
int AppendNode(sd_bus_message* m, int32_t id, const StatusIcon::MenuItem* item, bool withChildren) {
  int r = sd_bus_message_open_container(m, 'r', "ia{sv}av");
  if (r >= 0) r = sd_bus_message_append(m, "i", id);
  if (r >= 0) r = AppendProperties(m, item);
  if (r >= 0) r = sd_bus_message_open_container(m, 'a', "v");
  StatusIcon* icon = Bus().item;
  for (size_t i = 0; r >= 0 && withChildren && icon != nullptr && i < icon->menu.size(); ++i) {
    r = sd_bus_message_open_container(m, 'v', "(ia{sv}av)");
    if (r >= 0) r = AppendNode(m, BusId(icon->menu[i], i), &icon->menu[i], false);
    if (r >= 0) r = sd_bus_message_close_container(m);
  }
  if (r >= 0) r = sd_bus_message_close_container(m);
  return r < 0 ? r : sd_bus_message_close_container(m);
}

sd_bus_message* NewReply(sd_bus_message* call) {
  sd_bus_message* reply = nullptr;
  return sd_bus_message_new_method_return(call, &reply) < 0 ? nullptr : reply;
}

int Send(sd_bus_message* reply, int r) {
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r;
}

// GetLayout(parent, depth, names) -> (revision, node). Every item is
// returned with all its properties whatever the names ask.
int OnGetLayout(sd_bus_message* call, void*, sd_bus_error* error) {
  int32_t parent = 0;
  if (sd_bus_message_read(call, "i", &parent) < 0) return -EINVAL;
  const StatusIcon::MenuItem* item = parent == 0 ? nullptr : ItemOf(parent);
  if (parent != 0 && item == nullptr) {
    return sd_bus_error_set(error, "com.canonical.dbusmenu.UnknownId", "no such item");
  }
  sd_bus_message* reply = NewReply(call);
  if (reply == nullptr) return -ENOMEM;
  int r = sd_bus_message_append(reply, "u", Bus().menuRevision);
  if (r >= 0) r = AppendNode(reply, parent, item, parent == 0);
  return Send(reply, r);
}

// GetGroupProperties(ids, names) -> a(ia{sv}); no ids: every item.
int OnGetGroupProperties(sd_bus_message* call, void*, sd_bus_error*) {
  const int32_t* ids = nullptr;
  size_t size = 0;
  if (sd_bus_message_read_array(call, 'i', reinterpret_cast<const void**>(&ids), &size) < 0) return -EINVAL;
  std::vector<int32_t> wanted(ids, ids + size / sizeof(int32_t));
  StatusIcon* icon = Bus().item;
  if (wanted.empty() && icon != nullptr) {
    for (size_t i = 0; i < icon->menu.size(); ++i) wanted.push_back(BusId(icon->menu[i], i));
  }
  sd_bus_message* reply = NewReply(call);
  if (reply == nullptr) return -ENOMEM;
  int r = sd_bus_message_open_container(reply, 'a', "(ia{sv})");
  for (int32_t id : wanted) {
    const StatusIcon::MenuItem* item = ItemOf(id);
    if (r < 0 || (item == nullptr && id != 0)) continue;
    r = sd_bus_message_open_container(reply, 'r', "ia{sv}");
    if (r >= 0) r = sd_bus_message_append(reply, "i", id);
    if (r >= 0) r = AppendProperties(reply, item);
    if (r >= 0) r = sd_bus_message_close_container(reply);
  }
  if (r >= 0) r = sd_bus_message_close_container(reply);
  return Send(reply, r);
}

void Clicked(int32_t busId) {
  const StatusIcon::MenuItem* item = ItemOf(busId);
  if (item != nullptr && item->id != -1 && item->enabled) OnStatusIconMenuItem(Bus().item, item->id);
}

// Event(id, kind, data, time): "clicked" chooses the item.
int OnEvent(sd_bus_message* call, void*, sd_bus_error*) {
  int32_t id = 0;
  const char* kind = nullptr;
  if (sd_bus_message_read(call, "is", &id, &kind) < 0) return -EINVAL;
  if (std::strcmp(kind, "clicked") == 0) Clicked(id);
  return sd_bus_reply_method_return(call, "");
}

// EventGroup(a(isvu)) -> ids not found.
int OnEventGroup(sd_bus_message* call, void*, sd_bus_error*) {
  int r = sd_bus_message_enter_container(call, 'a', "(isvu)");
  while (r > 0 && (r = sd_bus_message_enter_container(call, 'r', "isvu")) > 0) {
    int32_t id = 0;
    const char* kind = nullptr;
    r = sd_bus_message_read(call, "is", &id, &kind);
    if (r >= 0 && std::strcmp(kind, "clicked") == 0) Clicked(id);
    if (r >= 0) r = sd_bus_message_skip(call, "vu");
    if (r >= 0) r = sd_bus_message_exit_container(call);
  }
  if (r < 0) return r;
  return sd_bus_reply_method_return(call, "ai", 0);
}

int OnAboutToShow(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "b", 0);
}

int OnAboutToShowGroup(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "aiai", 0, 0);
}

int GetVersion(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
               sd_bus_error*) {
  return sd_bus_message_append(reply, "u", 3u);
}

int GetText(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
            sd_bus_error*) {
  return sd_bus_message_append(reply, "s", std::strcmp(property, "Status") == 0 ? "normal" : "ltr");
}

int GetThemePath(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                 sd_bus_error*) {
  return sd_bus_message_append(reply, "as", 0);
}

}  // namespace

const sd_bus_vtable kMenuTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "u", GetVersion, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("TextDirection", "s", GetText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", GetText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "as", GetThemePath, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", OnGetLayout, 0),
    SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", OnGetGroupProperties, 0),
    SD_BUS_METHOD("Event", "isvu", "", OnEvent, 0),
    SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", OnEventGroup, 0),
    SD_BUS_METHOD("AboutToShow", "i", "b", OnAboutToShow, 0),
    SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", OnAboutToShowGroup, 0),
    SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
    SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
    SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
    SD_BUS_VTABLE_END,
};

void AnnounceMenu() {
  BusState& b = Bus();
  if (b.bus == nullptr) return;
  ++b.menuRevision;
  sd_bus_emit_signal(b.bus, kMenuPath, "com.canonical.dbusmenu", "LayoutUpdated", "ui",
                     b.menuRevision, 0);
}

namespace {

uint32_t Crc(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(v >> shift));
}

void Chunk(std::vector<uint8_t>* out, const char* kind, const std::vector<uint8_t>& body) {
  Put32(out, uint32_t(body.size()));
  std::vector<uint8_t> typed(kind, kind + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  out->insert(out->end(), typed.begin(), typed.end());
  Put32(out, Crc(typed.data(), typed.size()));
}

// zlib data in stored (uncompressed) blocks: icons are a few kilobytes.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - at, 65535);
    out.push_back(at + n == raw.size() ? 1 : 0);
    out.push_back(uint8_t(n));
    out.push_back(uint8_t(n >> 8));
    out.push_back(uint8_t(~n));
    out.push_back(uint8_t(~n >> 8));
    out.insert(out.end(), raw.begin() + long(at), raw.begin() + long(at + n));
    at += n;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Put32(&out, (b << 16) | a);
  return out;
}

}  // namespace

std::vector<uint8_t> EncodePng(const StatusIcon::Picture& picture) {
  std::vector<uint8_t> raw;
  for (int32_t y = 0; y < picture.height; ++y) {
    raw.push_back(0);  // no filter
    for (int32_t x = 0; x < picture.width; ++x) {
      const uint32_t p = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
      for (int shift : {16, 8, 0, 24}) raw.push_back(uint8_t(p >> shift));
    }
  }
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Put32(&header, uint32_t(picture.width));
  Put32(&header, uint32_t(picture.height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
  Chunk(&png, "IHDR", header);
  Chunk(&png, "IDAT", StoredZlib(raw));
  Chunk(&png, "IEND", {});
  return png;
}

}  // namespace wscore::sni
