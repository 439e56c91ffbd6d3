// A CGI program for the Windows tests: a native executable that answers with
// its environment (the 8-bit block it was given), its working folder, its
// command line and arguments and what it read from standard input. It also stands in for
// the interpreter that a "#!" line names.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::string body;
  char buffer[4096];
  DWORD got = 0;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) body.append(buffer, got);

  std::string out;
  char* block = GetEnvironmentStringsA();
  for (const char* p = block; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
    out += "env ";
    out += p;
    out += "\n";
  }
  FreeEnvironmentStringsA(block);
  char folder[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
  out += "cwd " + std::string(folder, n) + "\n";
  out += "cmd " + std::string(GetCommandLineA()) + "\n";
  for (int i = 1; i < argc; ++i) out += "arg " + std::string(argv[i]) + "\n";
  // A complaint on standard error: it must never reach the response.
  std::fprintf(stderr, "standin: a line on standard error\n");
  out += "body " + body + "\n";

  std::string head = "Content-Type: text/plain\r\nX-Standin: 1\r\n\r\n";
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  WriteFile(output, head.data(), static_cast<DWORD>(head.size()), &written, nullptr);
  WriteFile(output, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  return 0;
}
