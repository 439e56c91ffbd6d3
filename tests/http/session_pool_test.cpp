// Session threads waiting between connections, on port 80 of the test's own
// network namespace: a waiting thread serves with the settings of the run
// whose connection it takes, a burst beyond the threads waiting in accept
// calls up parked ones instead of starting new ones, and a stop ends
// waiting and busy threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "http/server.h"
#include "http/session_pool.h"
#include "http/test_support.h"

namespace {

using test::RawClient;
using test::RunningServer;
using test::TempFolder;

// A peer outside the local network, on this namespace's loopback.
constexpr const char* kFarPeer = "203.0.113.7";

std::string Exchange(const std::string& request, const char* from = nullptr) {
  RawClient client("127.0.0.1", from);
  EXPECT_TRUE(client.connected());
  client.Send(request);
  client.ShutdownWrite();
  return client.ReadAll();
}

std::string Body(const std::string& response) {
  size_t end = response.find("\r\n\r\n");
  return end == std::string::npos ? "" : response.substr(end + 4);
}

// Every session thread has finished its connection and waits parked.
bool AllParked() {
  return SessionCount.load() == 0 && CountParkedSessions() == CountSessionThreads() &&
         CountSessionThreads() > 0;
}

TEST(SessionPool, ParkedThreadsServeWithTheSettingsOfTheCurrentRun) {
  TempFolder first, second;
  first.Write("which.html", "first");
  second.Write("which.html", "second");
  ASSERT_EQ(std::system((std::string("ip addr add ") + kFarPeer + "/32 dev lo").c_str()), 0);
  const std::string request = "GET /which.html HTTP/1.1\r\n\r\n";
  {
    RunningServer server(first.Root(), 2);  // everybody
    EXPECT_EQ(Body(Exchange(request)), "first");
    ASSERT_TRUE(WaitUntil(AllParked));
    EXPECT_EQ(Body(Exchange(request, kFarPeer)), "first");
  }
  // The stop ended every thread, parked or not.
  EXPECT_EQ(CountSessionThreads(), 0);
  EXPECT_EQ(CountParkedSessions(), 0);
  {
    RunningServer server(second.Root(), 1);  // the local network only
    EXPECT_EQ(Body(Exchange(request)), "second");
    ASSERT_TRUE(WaitUntil(AllParked));
    const int32_t threads = CountSessionThreads();
    // A parked thread takes the far peer and refuses it without a byte.
    EXPECT_EQ(Exchange(request, kFarPeer), "");
    ASSERT_TRUE(WaitUntil(AllParked));
    EXPECT_EQ(Body(Exchange(request)), "second");
    EXPECT_EQ(CountSessionThreads(), threads);  // no thread was started for either
  }
}

TEST(SessionPool, StopEndsParkedAndBusyThreads) {
  TempFolder site;
  site.Write("page.html", "<p>page</p>");
  auto server = std::make_unique<RunningServer>(site.Root(), 2);
  const std::string request = "GET /page.html HTTP/1.1\r\nConnection: keep-alive\r\n\r\n";
  constexpr int kClients = 6;
  auto open_clients = [&] {
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kClients; ++i) {
      clients.push_back(std::make_unique<RawClient>());
      clients.back()->Send(request);
      EXPECT_EQ(Body(clients.back()->ReadResponse()), "<p>page</p>");
    }
    return clients;
  };
  open_clients();  // six at once, then gone: their threads wait for more
  ASSERT_TRUE(WaitUntil(AllParked));
  const int32_t threads = CountSessionThreads();
  ASSERT_GE(threads, kClients);
  // Only a few wait in accept, each holding a descriptor the kernel sets
  // aside; the others park until those are taken.
  EXPECT_GE(CountAcceptingSessions(), 1);
  EXPECT_LE(CountAcceptingSessions(), kParkedSessionsKept);
  // As many connections again, held open: parked threads take them all.
  std::vector<std::unique_ptr<RawClient>> busy = open_clients();
  EXPECT_EQ(CountSessionThreads(), threads);
  EXPECT_EQ(SessionCount.load(), kClients);
  EXPECT_EQ(CountParkedSessions(), threads - kClients);
  // Two more requests on a held connection: it stays with its thread.
  for (int i = 0; i < 2; ++i) {
    busy[0]->Send(request);
    EXPECT_EQ(Body(busy[0]->ReadResponse()), "<p>page</p>");
  }
  server.reset();  // StopServer with busy and parked threads
  EXPECT_EQ(SessionCount.load(), 0);
  EXPECT_EQ(CountSessionThreads(), 0);
  EXPECT_EQ(CountParkedSessions(), 0);
  for (auto& client : busy) EXPECT_EQ(client->ReadAll(), "");
  // A new run starts threads afresh.
  server = std::make_unique<RunningServer>(site.Root(), 2);
  EXPECT_EQ(Body(Exchange("GET /page.html HTTP/1.1\r\n\r\n")), "<p>page</p>");
}

}  // namespace
