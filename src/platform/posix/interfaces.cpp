#include "platform/interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

struct AddressWatch {
  int netlink_fd;  // NETLINK_ROUTE, subscribed to IPv4 address changes
  int stop_fd;     // eventfd: readable once the watch is stopped
};

int32_t QueryOwnAddresses(OwnAddressText* out, int32_t capacity) {
  ifaddrs* all = nullptr;
  if (getifaddrs(&all) != 0) return -1;
  int32_t count = 0;
  for (ifaddrs* a = all; a != nullptr; a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
    if ((a->ifa_flags & IFF_LOOPBACK) != 0) continue;
    if (out != nullptr && count < capacity) {
      const auto* address = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
      if (inet_ntop(AF_INET, &address->sin_addr, out[count].text, kAddressTextCapacity) ==
          nullptr) {
        out[count].text[0] = '\0';
      }
    }
    ++count;
  }
  freeifaddrs(all);
  return count;
}

AddressWatch* OpenAddressWatch() {
  int netlink_fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (netlink_fd < 0) return nullptr;
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  local.nl_groups = RTMGRP_IPV4_IFADDR;
  int stop_fd = -1;
  if (bind(netlink_fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0 ||
      (stop_fd = eventfd(0, EFD_CLOEXEC)) < 0) {
    close(netlink_fd);
    return nullptr;
  }
  AddressWatch* watch = new (std::nothrow) AddressWatch{netlink_fd, stop_fd};
  if (watch == nullptr) {
    close(netlink_fd);
    close(stop_fd);
  }
  return watch;
}

namespace {

// Reads every pending notice without waiting; what they say does not matter,
// the caller queries the whole list again.
void DrainNotices(int fd) {
  char buffer[8192];
  while (recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT) > 0) {
  }
}

}  // namespace

AddressWaitResult WaitForAddressChange(AddressWatch* watch) {
  if (watch == nullptr) return AddressWaitResult::kFailed;
  for (;;) {
    pollfd fds[2] = {{watch->stop_fd, POLLIN, 0}, {watch->netlink_fd, POLLIN, 0}};
    int n = poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return AddressWaitResult::kFailed;
    if (fds[0].revents != 0) return AddressWaitResult::kStopped;
    if ((fds[1].revents & POLLIN) != 0) {
      DrainNotices(watch->netlink_fd);
      return AddressWaitResult::kChanged;
    }
    // An overrun socket reports an error: changes were lost, so count it as one.
    if (fds[1].revents != 0) {
      int error = 0;
      socklen_t length = sizeof(error);
      getsockopt(watch->netlink_fd, SOL_SOCKET, SO_ERROR, &error, &length);
      if (error == ENOBUFS) return AddressWaitResult::kChanged;
      return AddressWaitResult::kFailed;
    }
  }
}

void StopAddressWatch(AddressWatch* watch) {
  if (watch == nullptr) return;
  uint64_t one = 1;
  ssize_t written = write(watch->stop_fd, &one, sizeof(one));
  (void)written;
}

void CloseAddressWatch(AddressWatch* watch) {
  if (watch == nullptr) return;
  close(watch->netlink_fd);
  close(watch->stop_fd);
  delete watch;
}
