#include "platform/interfaces.h"

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cstring>
#include <new>
#include <vector>

struct AddressWatch {
  HANDLE change_event;  // manual reset; the address-change notice signals it
  HANDLE stop_event;    // manual reset; set once the watch is stopped
  OVERLAPPED overlapped;
  HANDLE notify_handle;
  bool notice_pending;    // a NotifyAddrChange request is outstanding
  ULONGLONG last_change;  // tick of the last change reported
};

namespace {

// The shortest time between two reported changes. A request whose notice
// arrives at once, again and again, then costs one refresh a second instead
// of a busy loop.
constexpr ULONGLONG kMinimumChangeInterval = 1000;

// Asks for one notice of the next address change on the watch's event.
void RequestNotice(AddressWatch* watch) {
  ResetEvent(watch->change_event);
  std::memset(&watch->overlapped, 0, sizeof(watch->overlapped));
  watch->overlapped.hEvent = watch->change_event;
  watch->notify_handle = nullptr;
  DWORD rc = NotifyAddrChange(&watch->notify_handle, &watch->overlapped);
  // Any other answer is a refusal: no notice will come, and the watch then
  // waits for its stop alone.
  watch->notice_pending = rc == ERROR_IO_PENDING;
}

// Withdraws an outstanding request. Found at run time: older systems lack it.
bool CancelNotice(AddressWatch* watch) {
  if (!watch->notice_pending) return true;
  using CancelFunction = BOOL(WINAPI*)(LPOVERLAPPED);
  HMODULE library = GetModuleHandleA("iphlpapi.dll");
  auto cancel = library != nullptr
                    ? reinterpret_cast<CancelFunction>(
                          reinterpret_cast<void*>(GetProcAddress(library, "CancelIPChangeNotify")))
                    : nullptr;
  if (cancel == nullptr || !cancel(&watch->overlapped)) return false;
  watch->notice_pending = false;
  return true;
}

}  // namespace

int32_t QueryOwnAddresses(OwnAddressText* out, int32_t capacity) {
  ULONG size = 0;
  std::vector<unsigned char> buffer;
  DWORD rc = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 4 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.assign(size > 0 ? size : sizeof(IP_ADAPTER_INFO), 0);
    size = static_cast<ULONG>(buffer.size());
    rc = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  }
  // No adapter at all (only loopback): no own addresses.
  if (rc == ERROR_NO_DATA) return 0;
  if (rc != NO_ERROR) return -1;
  int32_t count = 0;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    for (IP_ADDR_STRING* entry = &adapter->IpAddressList; entry != nullptr; entry = entry->Next) {
      const char* text = entry->IpAddress.String;
      // An adapter without an address lists 0.0.0.0; loopback is not listed.
      if (text[0] == '\0' || std::strcmp(text, "0.0.0.0") == 0) continue;
      if (out != nullptr && count < capacity) {
        std::strncpy(out[count].text, text, kAddressTextCapacity - 1);
        out[count].text[kAddressTextCapacity - 1] = '\0';
      }
      ++count;
    }
  }
  return count;
}

AddressWatch* OpenAddressWatch() {
  AddressWatch* watch = new (std::nothrow) AddressWatch{};
  if (watch == nullptr) return nullptr;
  watch->change_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  watch->stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (watch->change_event == nullptr || watch->stop_event == nullptr) {
    if (watch->change_event != nullptr) CloseHandle(watch->change_event);
    if (watch->stop_event != nullptr) CloseHandle(watch->stop_event);
    delete watch;
    return nullptr;
  }
  watch->last_change = GetTickCount64();
  RequestNotice(watch);
  return watch;
}

AddressWaitResult WaitForAddressChange(AddressWatch* watch) {
  if (watch == nullptr) return AddressWaitResult::kFailed;
  HANDLE both[2] = {watch->stop_event, watch->change_event};
  // Without a pending request no notice can come: wait for the stop alone.
  DWORD count = watch->notice_pending ? 2 : 1;
  DWORD rc = WaitForMultipleObjects(count, both, FALSE, INFINITE);
  if (rc == WAIT_OBJECT_0) return AddressWaitResult::kStopped;
  if (rc != WAIT_OBJECT_0 + 1) return AddressWaitResult::kFailed;
  ULONGLONG since = GetTickCount64() - watch->last_change;
  if (since < kMinimumChangeInterval &&
      WaitForSingleObject(watch->stop_event, static_cast<DWORD>(kMinimumChangeInterval - since)) ==
          WAIT_OBJECT_0) {
    return AddressWaitResult::kStopped;
  }
  watch->last_change = GetTickCount64();
  RequestNotice(watch);
  return AddressWaitResult::kChanged;
}

void StopAddressWatch(AddressWatch* watch) {
  if (watch != nullptr) SetEvent(watch->stop_event);
}

void CloseAddressWatch(AddressWatch* watch) {
  if (watch == nullptr) return;
  // A request the system may still complete keeps its record and event: they
  // are left behind rather than released under it.
  if (!CancelNotice(watch)) return;
  CloseHandle(watch->change_event);
  CloseHandle(watch->stop_event);
  delete watch;
}
