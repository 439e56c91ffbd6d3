// The few operating-system steps the shared engine tests take themselves:
// connected socket pairs, pipes, temporary folders, the program's folder,
// file marks and a port held by somebody else.
// One implementation per platform (test_os_posix.cpp, test_os_win32.cpp), so
// the same test sources run on Linux and, under Wine, as Windows programs.
#pragma once

#include <string>

#include "platform/files.h"
#include "platform/net.h"

namespace testos {

// Two connected stream sockets: a Unix socket pair on Linux, a loopback TCP
// connection on Windows. False when they cannot be made.
bool MakeSocketPair(SocketHandle out[2]);
// Writes every byte; false when any could not be written.
bool WriteAll(SocketHandle socket, const std::string& bytes);
// Reads until the peer stops sending.
std::string ReadToEnd(SocketHandle socket);
void ShutdownSending(SocketHandle socket);
void CloseTestSocket(SocketHandle socket);

// The read end of a pipe that holds `bytes` and whose writer has closed.
FileHandle PipeHolding(const std::string& bytes);

// A new empty folder under the system's temporary folder, without a trailing
// separator.
std::string MakeTempFolder(const char* prefix);
// The folder of the running test program, without a trailing separator.
std::string OwnProgramFolder();
// The text with every '/' turned into this platform's separator.
std::string Native(std::string path);

// Makes one folder (its parent must exist); false when it cannot. Names are
// the system's 8-bit text, passed to the system as they are.
bool MakeFolder(const std::string& path);
// Sets or clears the file's read-only mark (write permission on Linux, the
// read-only attribute on Windows). False when the file cannot be changed.
bool MarkReadOnly(const std::string& path, bool readOnly);
// True when a file or folder of that name exists.
bool PathExists(const std::string& path);
// Removes the folder and everything in it.
void RemoveTree(const std::string& path);

// A socket listening on 127.0.0.1:`port` and every other address of the
// machine, as another program holding the port would have it;
// kInvalidSocket when the port cannot be taken.
SocketHandle HoldPort(int port);

// Sends `request` to 127.0.0.1:`port` and returns everything the server
// answered until it closed; "" when nobody accepted the connection.
std::string FetchLocal(int port, const std::string& request);

}  // namespace testos
