// The Windows platform layer and the Windows conventions of the engine: the
// backslash paths and "\cgi-bin\", the "MZ" check, the ".exe" interpreter
// names, the 8-bit environment block with Path, WINDIR and SYSTEMROOT, names
// Windows would read as another file, the socket library's end waking
// blocked calls, threads, clocks and the address watcher.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "scope/server_scope.h"
#include "cgi/script_gateway.h"
#include "cgi/script_setup.h"
#include "core/blocks.h"
#include "core/paths.h"
#include "http/engine.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/interfaces.h"
#include "platform/net.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "windows/win_client.h"

namespace {

using wintest::Folder;

std::string StandinProgram() { return std::string(AMBREL_BINARY_DIR) + "/ambrel_cgi_standin.exe"; }

TEST(WindowsTable, BackslashesCgiFolderMagicAndInterpreterNames) {
  EXPECT_EQ(kPathSeparator, '\\');
  ServerSettings.cgi_enabled = 1;
  ServerSettings.php_enabled = 1;
  EXPECT_TRUE(IsCgiScript("C:\\www\\cgi-bin\\run.exe"));
  EXPECT_TRUE(IsCgiScript("C:\\cgi-bin\\www\\page.html"));  // the root counts too
  EXPECT_TRUE(IsCgiScript("C:\\www\\CGI-BIN\\run.exe"));    // any case, as the file system
  EXPECT_FALSE(IsCgiScript("C:/www/cgi-bin/run.exe"));      // the Linux marker means nothing here
  EXPECT_TRUE(IsCgiScript("C:\\www\\RUN.CGI"));
  EXPECT_TRUE(IsPhpScript("C:\\www\\cgi-bin\\index.PHP"));
  ServerSettings.cgi_enabled = 0;
  ServerSettings.php_enabled = 0;

  Folder site;
  std::string exe = site.Write("cgi-bin/run.exe", "MZ\x90\x00 rest of a program");
  std::string elf = site.Write("cgi-bin/run.elf", "\x7f" "ELF rest");
  ScriptCommand command;
  ASSERT_TRUE(ChooseCgiCommand(exe.c_str(), "MZ\x90", 3, &command));
  EXPECT_EQ(command.program, exe);
  EXPECT_EQ(command.argument, "");
  EXPECT_FALSE(ChooseCgiCommand(elf.c_str(), "\x7f" "ELF", 4, &command));
  EXPECT_EQ(ScriptWorkingDirectory(exe.c_str()), site.Root() + "cgi-bin");

  Folder only_php, both, neither;
  only_php.Write("php.exe", "MZ");
  both.Write("php.exe", "MZ");
  both.Write("php-cgi.exe", "MZ");
  neither.Write("php-cgi", "MZ");  // the Linux name is not looked for
  const char* script = "C:\\www\\index.php";
  ASSERT_TRUE(ChoosePhpCommand(only_php.Root().c_str(), script, &command));
  EXPECT_EQ(command.program, only_php.Root() + "php.exe");
  EXPECT_EQ(command.argument, script);
  ASSERT_TRUE(ChoosePhpCommand(both.Root().c_str(), script, &command));
  EXPECT_EQ(command.program, both.Root() + "php-cgi.exe");
  EXPECT_FALSE(ChoosePhpCommand(neither.Root().c_str(), script, &command));
}

TEST(WindowsTable, EnvironmentPassesPathWindirAndSystemroot) {
  SetEnvironmentVariableA("Path", "C:\\tools;C:\\windows");
  SetEnvironmentVariableA("WinDir", "C:\\windows");
  SetEnvironmentVariableA("SystemRoot", "C:\\windows");
  SetEnvironmentVariableA("AMBREL_PRIVATE", "never passed");
  Connection* c = nullptr;
  ASSERT_TRUE(AllocBlock(&c, sizeof(Connection), true, 0));
  c->method = DupString("GET");
  c->target = DupString("/cgi-bin/run.exe");
  c->path = DupString("\\cgi-bin\\run.exe");
  c->request_path = DupString("/cgi-bin/run.exe");
  c->document_root = DupString("C:\\www\\");
  c->file_path = DupString("C:\\www\\cgi-bin\\run.exe");
  c->peer_text = DupString("127.0.0.1");
  c->local_text = DupString("127.0.0.1");
  std::string block = BuildScriptEnvironment(*c);
  for (char** text : {&c->method, &c->target, &c->path, &c->request_path, &c->document_root,
                      &c->file_path, &c->peer_text, &c->local_text}) {
    FreeAndClear(text);
  }
  FreeAndClear(&c);
  ASSERT_GE(block.size(), 2u);
  EXPECT_EQ(block.substr(block.size() - 2), std::string("\0\0", 2));
  std::string tail = block.substr(block.find("REQUEST_METHOD=GET"));
  EXPECT_EQ(tail, std::string("REQUEST_METHOD=GET\0Path=C:\\tools;C:\\windows\0WINDIR=C:\\windows\0"
                              "SYSTEMROOT=C:\\windows\0\0", 85));
  EXPECT_EQ(block.find("AMBREL_PRIVATE"), std::string::npos);
  EXPECT_NE(block.find(std::string("SCRIPT_NAME=/cgi-bin/run.exe\0", 29)), std::string::npos);
}

TEST(WindowsProcess, ChildGetsTheBlockTheFolderItsArgumentAndItsInputOnPipes) {
  Folder work;
  // An 8-bit block: a value with a letter beyond ASCII, in the system's code
  // page, arrives as the same bytes.
  char accented[16] = {};
  ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, L"caf\u00e9", -1, accented, sizeof accented, nullptr, nullptr), 0);
  std::string environment = std::string("Path=C:\\only\\here\0GATEWAY_INTERFACE=CGI/1.1\0", 44) +
                            "HTTP_COOKIE=" + accented + std::string("\0\0", 2);
  // One word, whatever blanks, quotes and backslashes it holds.
  std::string argument = "C:\\a folder\\say \"hi\" \\\\x\\";
  ChildProcess child;
  ASSERT_TRUE(StartChildProcess(StandinProgram().c_str(), argument.c_str(), environment.c_str(),
                                work.Root().c_str(), &child));
  ASSERT_TRUE(WriteToFile(child.input, "posted bytes", 12));
  CloseChildPipe(&child.input);
  std::string out;
  char buffer[4096];
  int32_t n;
  while ((n = ReadFromFile(child.output, buffer, sizeof buffer)) > 0) out.append(buffer, n);
  EXPECT_EQ(n, 0);  // the end of the child's output reads as the end, not an error
  ReleaseChildProcess(&child);
  EXPECT_EQ(child.id, kNoProcess);
  EXPECT_EQ(out.substr(0, 42), "Content-Type: text/plain\r\nX-Standin: 1\r\n\r\n");
  EXPECT_NE(out.find("env Path=C:\\only\\here\n"), std::string::npos) << out;
  EXPECT_NE(out.find("env GATEWAY_INTERFACE=CGI/1.1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("env HTTP_COOKIE=" + std::string(accented) + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("cwd " + work.Root().substr(0, work.Root().size() - 1) + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("body posted bytes\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\narg " + argument + "\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("arg ", out.find("\narg ") + 5), std::string::npos) << out;  // one argument
  EXPECT_EQ(out.find("standard error"), std::string::npos) << out;  // the server's own stderr

  // A program that does not exist: no child, nothing left open.
  EXPECT_FALSE(StartChildProcess((work.Root() + "missing.exe").c_str(), nullptr, environment.c_str(),
                                 work.Root().c_str(), &child));
  EXPECT_EQ(child.input, kInvalidFile);
  EXPECT_EQ(child.output, kInvalidFile);
}

TEST(WindowsFiles, NamesThatWouldReachAnotherFileAreRefused) {
  Folder site;
  std::string page = site.Write("page.php", "<?php secret();");
  site.Write("dir/a.txt", "a");
  FileHandle file = OpenFileForReading(page.c_str());
  ASSERT_NE(file, kInvalidFile);
  FileInfo info{};
  EXPECT_TRUE(QueryFileInfo(file, &info));
  EXPECT_EQ(info.size_low, 15u);
  EXPECT_EQ(info.attributes, 0u);
  char buffer[32];
  EXPECT_EQ(ReadFromFile(file, buffer, sizeof buffer), 15);
  EXPECT_TRUE(RewindFile(file));
  EXPECT_EQ(ReadFromFile(file, buffer, 5), 5);
  CloseFile(file);
  EXPECT_EQ(QueryPathKind(page.c_str()), PathKind::kFile);
  EXPECT_EQ(QueryPathKind((site.Root() + "dir").c_str()), PathKind::kDirectory);
  EXPECT_EQ(OpenFileForReading((site.Root() + "dir").c_str()), kInvalidFile);
  // Trailing dots and blanks, streams and devices name something else than
  // they say: refused, so a script's text can never go out as a plain file.
  for (const char* name : {"page.php.", "page.php ", "page.php::$DATA", "page.php:x", "con", "NUL.txt",
                           "com1", "dir\\aux.html", "dir.\\a.txt"}) {
    std::string full = site.Root() + name;
    EXPECT_EQ(QueryPathKind(full.c_str()), PathKind::kMissing) << name;
    EXPECT_EQ(OpenFileForReading(full.c_str()), kInvalidFile) << name;
  }
  EXPECT_EQ(QueryPathKind((site.Root() + "dir\\..\\page.php").c_str()), PathKind::kFile);
  // A drive prefix counts as an existing directory.
  EXPECT_EQ(CreateDirectoryPath((site.Root() + "x\\y\\").c_str()), 0u);
  EXPECT_EQ(QueryPathKind((site.Root() + "x\\y").c_str()), PathKind::kDirectory);

  FileHandle log = OpenFileForAppending((site.Root() + "x\\log.txt").c_str());
  ASSERT_NE(log, kInvalidFile);
  EXPECT_TRUE(WriteToFile(log, "one\n", 4));
  CloseFile(log);
  log = OpenFileForAppending((site.Root() + "x\\log.txt").c_str());
  EXPECT_TRUE(WriteToFile(log, "two\n", 4));
  CloseFile(log);
  file = OpenFileForReading((site.Root() + "x\\log.txt").c_str());
  EXPECT_EQ(ReadFromFile(file, buffer, sizeof buffer), 8);
  EXPECT_EQ(std::string(buffer, 8), "one\ntwo\n");
  CloseFile(file);

  // Read-only marks, replacing in one step, deleting.
  std::string fresh = site.Write("x/fresh.dat", "new"), kept = site.Write("x/kept.dat", "old");
  EXPECT_FALSE(IsFileMarkedReadOnly(kept.c_str()));
  SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(IsFileMarkedReadOnly(kept.c_str()));
  SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(ReplaceFileWith(fresh.c_str(), kept.c_str()));
  EXPECT_EQ(QueryPathKind(fresh.c_str()), PathKind::kMissing);
  file = OpenFileForReading(kept.c_str());
  EXPECT_EQ(ReadFromFile(file, buffer, sizeof buffer), 3);
  CloseFile(file);
  EXPECT_TRUE(DeleteFileNamed(kept.c_str()));
  EXPECT_FALSE(DeleteFileNamed(kept.c_str()));

  char* settings = nullptr;
  ASSERT_TRUE(GetProgramFilePath(&settings, "settings.dat"));
  EXPECT_EQ(std::string(settings), testos::OwnProgramFolder() + "\\settings.dat");
  FreeAndClear(&settings);
}

// A client connection to a listening socket made with the platform's verbs.
SOCKET ConnectTo(SocketHandle listener) {
  SocketAddressV4 address{};
  GetLocalAddress(listener, &address);
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = address.port_network_order;
  target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  connect(s, reinterpret_cast<sockaddr*>(&target), sizeof(target));
  return s;
}

SocketHandle LoopbackListener() {
  SocketHandle listener = CreateTcpSocket();
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(static_cast<SOCKET>(listener), reinterpret_cast<sockaddr*>(&any), sizeof(any));
  StartListening(listener, 4);
  return listener;
}

// One blocked accept and one receive on an idle connection, both woken by
// `wake` within 10 s.
void ExpectBlockedCallsWoken(void (*wake)(SocketHandle listener, SocketHandle session)) {
  SocketHandle listener = LoopbackListener();
  SOCKET client = ConnectTo(listener);
  SocketAddressV4 peer{};
  SocketHandle session = AcceptConnection(listener, &peer);
  ASSERT_NE(session, kInvalidSocket);
  char text[kAddressTextCapacity];
  ASSERT_TRUE(FormatAddressText(peer, text));
  EXPECT_STREQ(text, "127.0.0.1");
  std::atomic<int> accepted{0}, received{0};
  std::thread accepting([&] { accepted = AcceptConnection(listener, nullptr) == kInvalidSocket ? 1 : 2; });
  std::thread receiving([&] {
    char byte;
    received = ReceiveBytes(session, &byte, 1) <= 0 ? 1 : 2;
  });
  // Both really wait: neither call returns on its own.
  EXPECT_FALSE(WaitUntil([&] { return accepted.load() + received.load() != 0; },
                         std::chrono::milliseconds(300)));
  wake(listener, session);
  EXPECT_TRUE(WaitUntil([&] { return accepted.load() != 0 && received.load() != 0; }));
  EXPECT_EQ(accepted.load(), 1);
  EXPECT_EQ(received.load(), 1);
  accepting.join();
  receiving.join();
  CloseSocket(session);
  CloseSocket(listener);
  closesocket(client);
}

TEST(WindowsSockets, EndOfTheSocketLibraryWakesBlockedAcceptAndReceive) {
  // The platform's start is the process's only one, as in the program.
  ASSERT_EQ(StartSocketLibrary(), 0);
  ExpectBlockedCallsWoken([](SocketHandle, SocketHandle) { EndSocketLibrary(); });
  EndSocketLibrary();  // a second end undoes nothing more
}

TEST(WindowsSockets, ShutdownWakesBlockedCallsWhileAnotherStartHoldsTheLibrary) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);  // e.g. a test's own client
  ASSERT_EQ(StartSocketLibrary(), 0);
  ExpectBlockedCallsWoken([](SocketHandle listener, SocketHandle session) {
    EndSocketLibrary();  // not the last start: closes nothing
    ShutdownSocket(listener);
    ShutdownSocket(session);
  });
  WSACleanup();
}

TEST(WindowsThreads, ChosenStackAndIdentifierKnownBeforeTheThreadRuns) {
  struct Probe {
    uint32_t stored = 0;
    std::atomic<uint32_t> seen{0};
    std::atomic<uint32_t> stored_when_run{0};
  } probe;
  ThreadHandle thread = StartThread(
      [](void* raw) {
        auto* p = static_cast<Probe*>(raw);
        // Some 40 KiB of stack in use.
        volatile char deep[40000];
        deep[0] = 1;
        deep[sizeof deep - 1] = deep[0];
        p->stored_when_run = p->stored;
        p->seen = CurrentThreadId();
      },
      &probe, 64 * 1024, &probe.stored);
  ASSERT_NE(thread, kInvalidThread);
  JoinThread(thread);
  EXPECT_NE(probe.seen.load(), 0u);
  EXPECT_EQ(probe.seen.load(), probe.stored);
  EXPECT_EQ(probe.stored_when_run.load(), probe.stored);
  EXPECT_NE(CurrentThreadId(), probe.stored);
}

TEST(WindowsClock, CalendarsAndTheLocalZone) {
  CalendarTime t{2006, 12, 0, 5, 10, 20, 30, 0};
  uint64_t file_time = 0;
  ASSERT_TRUE(CalendarToFileTime(t, &file_time));
  EXPECT_EQ(file_time, 128097876300000000ULL);
  CalendarTime back{};
  ASSERT_TRUE(FileTimeToCalendar(file_time, &back));
  EXPECT_EQ(back.day_of_week, 2);  // a Tuesday
  EXPECT_EQ(back.hour, 10);
  CalendarTime bad{2007, 2, 0, 31, 0, 0, 0, 0};
  EXPECT_FALSE(CalendarToFileTime(bad, &file_time));
  LocalTime now{};
  ASSERT_TRUE(GetLocalTimeNow(&now));
  EXPECT_TRUE(now.has_offset);
  EXPECT_GE(now.time.year, 2024);
  uint64_t a = ReadCounter();
  SleepMilliseconds(20);
  uint64_t elapsed_ms = (ReadCounter() - a) * 1000 / CounterFrequency();
  EXPECT_GE(elapsed_ms, 15u);
}

// An address that changes while the watcher runs is not made here: Wine's
// NotifyAddrChange never reports one, and making one needs an
// administrator's network tools. The Linux suite's scope test adds and
// removes an address under the running watcher.
TEST(WindowsAddresses, OwnAddressesAndAWatcherThatDoesNotSpin) {
  int32_t count = QueryOwnAddresses(nullptr, 0);
  ASSERT_GE(count, 0);
  std::vector<OwnAddressText> own(count + 1);
  EXPECT_EQ(QueryOwnAddresses(own.data(), count + 1), count);
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_STRNE(own[i].text, "127.0.0.1");
    EXPECT_TRUE(IsLocalMachineAddress("127.0.0.1"));
  }
  // The engine's watcher: refreshed at once, then quiet while nothing changes
  // (a notice that completes at once must not turn into a busy loop).
  uint32_t before = InterfaceRefreshCount();
  StartInterfaceWatcher();
  ASSERT_TRUE(WaitUntil([&] { return InterfaceRefreshCount() > before; }));
  if (count > 0) {
    EXPECT_TRUE(IsLocalMachineAddress(own[0].text));
  }
  EXPECT_FALSE(WaitUntil([&] { return InterfaceRefreshCount() - before > 4u; },
                         std::chrono::milliseconds(2500)));
  // The stop wakes the watcher at once; the bound only tells a stop that
  // waits for something else from a slow machine.
  auto start = std::chrono::steady_clock::now();
  StopInterfaceWatcher();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_FALSE(IsLocalMachineAddress("203.0.113.9"));
}

}  // namespace
