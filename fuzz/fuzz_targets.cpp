// The fuzz targets. Each drives real engine code with one input and checks a
// few properties that must hold for every input; a broken one aborts, so
// libFuzzer and the replay test both report it.
#include "fuzz_targets.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scope/address_pattern.h"
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/settings_file.h"
#include "app/startup.h"
#include "app/settings_controls.h"
#include "core/blocks.h"
#include "core/error.h"
#include "core/paths.h"
#include "http/engine.h"
#include "http/file_service.h"
#include "http/request_reader.h"
#include "http/response_writer.h"
#include "http/session.h"
#include "platform/clock.h"
#include "window/window_system.h"
#include "ui/controls/popup.h"
#include "ui/controls/selector.h"
#include "window/builtin/system_controls.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

// The input as a C text: up to its first NUL.
std::string AsText(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size).c_str();
}

// A small serving folder, made once per process and removed at its end.
std::string g_site;

void WriteSmallFile(const std::string& name, const char* text) {
  FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) return;
  std::fputs(text, f);
  std::fclose(f);
}

void RemoveSite() {
  for (const char* name : {"index.html", "a.txt", "sub/index.htm"}) {
    unlink((g_site + name).c_str());
  }
  rmdir((g_site + "sub").c_str());
  rmdir(g_site.c_str());
}

const std::string& Site() {
  if (!g_site.empty()) return g_site;
  char name[] = "/tmp/ambrel-fuzz-site-XXXXXX";
  if (mkdtemp(name) == nullptr) std::abort();
  g_site = std::string(name) + "/";
  mkdir((g_site + "sub").c_str(), 0755);
  WriteSmallFile(g_site + "index.html", "<p>index</p>\n");
  WriteSmallFile(g_site + "a.txt", "a\n");
  WriteSmallFile(g_site + "sub/index.htm", "<p>sub</p>\n");
  std::atexit(RemoveSite);
  StartSocketLibrary();
  return g_site;
}

// Takes everything the connection sent to the peer; the byte count.
int64_t Drain(int peer) {
  char buffer[8192];
  int64_t total = 0;
  ssize_t n;
  while ((n = recv(peer, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0) total += n;
  return total;
}

bool IsKnownStatus(int32_t s) {
  return s == 200 || s == 301 || s == 304 || s == 400 || s == 404 || s == 500;
}

// One turn of the session's loop: read, serve, answer. False when the
// connection would close.
bool ServeOne(Connection* c, int peer) {
  int32_t read_result = c->ReadRequest();
  if (read_result != 0) {
    Check(read_result == 400 || read_result == 501, "reader status");
    c->status = read_result;
    c->close_after = 1;
    c->SendResponseHead();
    Check(Drain(peer) == c->bytes_sent, "bytes counted for an error head");
    return false;
  }
  Check(c->request_header_count < kRequestHeaderLimit, "header limit");
  if (c->target != nullptr) {
    Check(c->method != nullptr && c->version != nullptr && c->path != nullptr, "request line");
    Check(std::strlen(c->path) <= std::strlen(c->target), "decoded path longer than target");
  }
  int32_t status = c->ServeRequest();
  Check(IsKnownStatus(status), "file service status");
  if (status == 200 && c->file_path != nullptr) {
    Check(std::strncmp(c->file_path, c->document_root, std::strlen(c->document_root)) == 0,
          "served file outside the serving folder");
    Check(std::strstr(c->file_path, "..") == nullptr, "served name with ..");
  }
  c->status = status;
  AddResponseHeader(c, "Content-Length:", "0");
  c->SendResponseHead();
  Check(Drain(peer) == c->bytes_sent, "bytes counted for a response");
  return c->close_after != 1;
}

}  // namespace

int FuzzRequest(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const std::string& site = Site();
  ServerSettings.php_enabled = 0;
  ServerSettings.cgi_enabled = 0;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
  if (size > 0 && write(fds[1], data, size) != static_cast<ssize_t>(size)) std::abort();
  shutdown(fds[1], SHUT_WR);
  Connection* c = nullptr;
  if (!AllocBlock(&c, sizeof(Connection), true, 0)) std::abort();
  c->socket = fds[0];
  c->file = kInvalidFile;
  c->document_root = DupString(site.c_str());
  for (int turn = 0; turn < 32; ++turn) {
    bool more = false;
    try {
      more = ServeOne(c, fds[1]);
    } catch (const ErrorText&) {
      more = false;
    }
    ResetRequest(c);
    if (!more) break;
  }
  FreeAndClear(&c->document_root);
  FreeAndClear(&c->receive_buffer);
  FreeAndClear(&c);
  close(fds[0]);
  close(fds[1]);
  return 0;
}

int FuzzPercent(const uint8_t* data, size_t size) {
  std::string text = AsText(data, size);
  char* decoded = DecodePercent(text.c_str());
  Check(std::strlen(decoded) <= text.size(), "decoded text longer than its input");
  if (text.find('%') == std::string::npos) Check(text == decoded, "text without % changed");
  FreeAndClear(&decoded);
  return 0;
}

int FuzzHttpDate(const uint8_t* data, size_t size) {
  std::string text = AsText(data, size);
  CalendarTime t{};
  if (ParseHttpDate(text.c_str(), &t)) {
    Check(t.day_of_week <= 6 && t.month >= 1 && t.month <= 12, "parsed names out of range");
  }
  // Every date the writer forms reads back to the same second.
  if (size >= 8) {
    uint64_t file_time = 0;
    std::memcpy(&file_time, data, 8);
    char formed[64];
    if (FormatHttpDate(file_time, formed, sizeof(formed))) {
      CalendarTime back{};
      uint64_t back_time = 0;
      Check(ParseHttpDate(formed, &back), "formed date does not parse");
      // The calendar conversion stops at the end of year 30827, as the
      // platform's own does; the last months before 2^63 ticks lie beyond.
      if (back.year > 30827) return 0;
      Check(CalendarToFileTime(back, &back_time), "formed date does not convert");
      Check(back_time == file_time / 10000000ULL * 10000000ULL, "date round trip");
    }
  }
  return 0;
}

int FuzzAddressPattern(const uint8_t* data, size_t size) {
  std::string all(reinterpret_cast<const char*>(data), size);
  size_t split = all.find('\0');
  std::string address = all.substr(0, split);
  std::string pattern = split == std::string::npos ? address : AsText(data + split + 1, size - split - 1);
  bool matched = MatchAddressPattern(address.c_str(), pattern.c_str());
  if (matched) {
    Check(ValidateAddressPattern(address.c_str()) && ValidateAddressPattern(pattern.c_str()),
          "match with an invalid side");
  }
  // The private ranges include the loopback range.
  if (IsLoopbackAddress(address.c_str())) Check(IsLanAddress(address.c_str()), "loopback not LAN");
  return 0;
}

int FuzzScriptHeaders(const uint8_t* data, size_t size) {
  if (size > 60000) return 0;  // stays within one pipe's buffer
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return 0;
  if (size > 0 && write(fds[1], data, size) != static_cast<ssize_t>(size)) std::abort();
  close(fds[1]);
  Connection* c = nullptr;
  if (!AllocBlock(&c, sizeof(Connection), true, 0)) std::abort();
  c->socket = kInvalidSocket;
  c->file = kInvalidFile;
  ReadScriptHeaders(c, fds[0]);
  int32_t counted = 0;
  for (const HeaderEntry* e = c->response_headers.first; e != nullptr; e = e->next) {
    Check(e->name != nullptr && std::strlen(e->name) < static_cast<size_t>(kLineCapacity),
          "header name");
    ++counted;
  }
  Check(counted == c->response_header_count, "header count");
  std::string head = BuildResponseHead(c);
  Check(head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0, "head end");
  ResetRequest(c);
  FreeAndClear(&c);
  close(fds[0]);
  return 0;
}

int FuzzCountedString(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first byte picks the buffer's size; the rest is the stream.
  uint32_t capacity = data[0] == 255 ? 260 : data[0];
  char* buffer = static_cast<char*>(std::malloc(capacity == 0 ? 1 : capacity));
  FILE* stream = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "rb");
  if (stream == nullptr || buffer == nullptr) std::abort();
  for (int i = 0; i < 4; ++i) {
    uint32_t length = 0xFFFFFFFF;
    if (!ReadCountedString(stream, buffer, capacity, &length)) break;
    Check(length < capacity && buffer[length] == '\0', "counted string length");
  }
  std::fclose(stream);
  std::free(buffer);
  return 0;
}

namespace {

// The main window, built once on the in-memory window system, as start-up
// builds it.
void EnsureMainWindow() {
  static bool built = false;
  if (built) return;
  built = true;
  if (!InitWindowSystem(WindowSystemBackend::kHeadless) || !StartSystemControls()) std::abort();
  BuildApplicationWindow();
  std::atexit([] {
    ReleaseApplication();
    StopSystemControls();
    ShutdownWindowSystem();
  });
}

// Reads the same layout independently: the fields a load must set, in order.
struct ExpectedLoad {
  std::string texts[3];
  int32_t ids[5];
  int complete = 0;  // fields read whole, 0 to 8
  size_t used = 0;   // bytes the eight fields take
};

ExpectedLoad ReferenceRead(const uint8_t* data, size_t size) {
  ExpectedLoad e;
  size_t at = 0;
  auto u32 = [&](uint32_t* v) {
    if (size - at < 4) return false;
    *v = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (uint32_t{data[at + 3]} << 24);
    at += 4;
    return true;
  };
  for (int i = 0; i < 3; ++i) {
    uint32_t n = 0;
    if (!u32(&n) || n >= 260 || size - at < n) return e;
    e.texts[i].assign(reinterpret_cast<const char*>(data + at), n);
    at += n;
    ++e.complete;
  }
  for (int i = 0; i < 5; ++i) {
    uint32_t v = 0;
    if (!u32(&v)) return e;
    e.ids[i] = static_cast<int32_t>(v);
    ++e.complete;
  }
  e.used = at;
  return e;
}

}  // namespace

int FuzzSettingsFile(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  EnsureMainWindow();
  WindowHandle fields[] = {Controls.servingField, Controls.phpField, Controls.loggingField};
  WindowHandle selectors[] = {Controls.statusSelector, Controls.scopeSelector, Controls.phpSelector,
                              Controls.cgiSelector, Controls.loggingSelector};
  // Known values before the load, so what it changed shows.
  for (WindowHandle f : fields) SetWindowTextOf(f, "unchanged");
  ChooseDefaultSettings();
  SendWindowMessage(Controls.scopeSelector, TKM_ITEMCHOSEN, 3, 0);
  const int32_t before[5] = {2, 3, 7, 9, 11};
  const int32_t first[5] = {1, 3, 6, 8, 10}, last[5] = {2, 5, 7, 9, 11};
  FILE* stream = fmemopen(const_cast<uint8_t*>(size > 0 ? data : reinterpret_cast<const uint8_t*>("")),
                          size, "rb");
  if (stream == nullptr) return 0;
  // The program's own path: the file into the value, the value into the controls.
  Settings settings = SettingsFromControls();
  const bool ok = ReadSettingsStream(stream, &settings);
  ShowSettingsInControls(settings);
  const long position = std::ftell(stream);
  std::fclose(stream);
  const ExpectedLoad e = ReferenceRead(data, size);
  Check(!SettingsLoading, "loading flag left set");
  Check(ok == (e.complete == 8), "load result");
  if (ok) Check(static_cast<size_t>(position) == e.used, "read beyond the last field");
  for (int i = 0; i < 3; ++i) {
    const std::string shown = GetWindowTextString(fields[i]);
    // A text ends at its first NUL, as the field keeps it.
    Check(shown == (i < e.complete ? e.texts[i].c_str() : "unchanged"), "field text");
  }
  for (int i = 0; i < 5; ++i) {
    const int32_t chosen = GetSelectedItemId(selectors[i]);
    const bool loaded = 3 + i < e.complete && e.ids[i] >= first[i] && e.ids[i] <= last[i];
    Check(chosen == (loaded ? e.ids[i] : before[i]), "selector choice");
  }
  return 0;
}
