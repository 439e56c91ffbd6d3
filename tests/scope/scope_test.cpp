// The server scope in a private network namespace: addresses added to a
// dummy (or veth) interface reach the own-address list through the watcher, and peers
// connecting from them are served or refused by scope.
#include <gtest/gtest.h>

#include "scope/server_scope.h"
#include "http/test_support.h"

namespace {

using test::RawClient;
using test::RunCommand;
using test::RunningServer;
using test::TempFolder;

// What a client connecting from `from` to `to` receives for one request.
std::string FetchFrom(const char* from, const char* to) {
  RawClient client(to, from);
  EXPECT_TRUE(client.connected()) << from;
  client.Send("GET /page.html HTTP/1.1\r\n\r\n");
  return client.ReadAll();
}

class ScopeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // A dummy interface; where the kernel has no dummy driver, one end of a
    // veth pair serves the same purpose.
    RunCommand("{ ip link add d0 type dummy 2>/dev/null || ip link add d0 type veth peer name d1; } "
               "&& ip link set d0 up && { ip link set d1 up 2>/dev/null || true; }");
  }
  void SetUp() override { site_.Write("page.html", "<p>page</p>"); }
  TempFolder site_;
};

TEST_F(ScopeTest, WatcherSeesAddressChanges) {
  RunningServer server(site_.Root(), kScopeLocalServer);
  EXPECT_TRUE(IsLocalMachineAddress("127.0.0.1"));
  EXPECT_FALSE(IsLocalMachineAddress("198.51.100.7"));
  uint32_t before = InterfaceRefreshCount();
  RunCommand("ip addr add 198.51.100.7/24 dev d0");
  EXPECT_TRUE(WaitUntil([] { return IsLocalMachineAddress("198.51.100.7"); }));
  EXPECT_GT(InterfaceRefreshCount(), before);
  EXPECT_FALSE(IsLocalMachineAddress("198.51.100.99"));  // same network, not this machine
  RunCommand("ip addr del 198.51.100.7/24 dev d0");
  EXPECT_TRUE(WaitUntil([] { return !IsLocalMachineAddress("198.51.100.7"); }));
}

TEST_F(ScopeTest, PeersServedOrRefusedByScope) {
  RunCommand("ip addr add 198.51.100.7/24 dev d0 && ip addr add 10.9.8.7/24 dev d0");
  const std::string served = "HTTP/1.1 200 OK\r\n";
  struct Case { int32_t scope; const char* from; bool served; } cases[] = {
      {kScopeLocalServer, "127.0.0.1", true},
      {kScopeLocalServer, "198.51.100.7", true},   // the machine's own public address
      {kScopeLanServer, "10.9.8.7", true},
      {kScopeLanServer, "198.51.100.7", false},    // own, but not a private network
      {kScopeLanServer, "127.0.0.1", true},
      {kScopeInternetServer, "198.51.100.7", true},
      {7, "198.51.100.7", true},
  };
  for (const Case& c : cases) {
    RunningServer server(site_.Root(), c.scope);
    // Scope 0 knows its own addresses once the watcher's first pass is done.
    if (c.scope == kScopeLocalServer) {
      ASSERT_TRUE(WaitUntil([&] { return IsLocalMachineAddress(c.from); }));
    }
    std::string response = FetchFrom(c.from, c.from);
    if (c.served) {
      EXPECT_EQ(response.substr(0, served.size()), served) << c.scope << " " << c.from;
    } else {
      EXPECT_EQ(response, "") << c.scope << " " << c.from;  // closed without a byte
    }
  }
  RunCommand("ip addr flush dev d0");
}

TEST(ServerScopeDecision, Table) {
  struct Case { int32_t scope; const char* peer; bool allowed; } cases[] = {
      {kScopeLocalServer, "127.0.0.1", true},   {kScopeLocalServer, nullptr, false},
      {kScopeLocalServer, "8.8.8.8", false},    {kScopeLanServer, "192.168.5.7", true},
      {kScopeLanServer, "8.8.8.8", false},      {kScopeInternetServer, "8.8.8.8", true},
      {-1, "8.8.8.8", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPeerAllowed(c.scope, c.peer), c.allowed) << c.scope << " " << (c.peer ? c.peer : "null");
  }
}

}  // namespace
