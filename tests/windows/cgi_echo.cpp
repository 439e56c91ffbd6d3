// A CGI program for the Windows tests that echoes as it reads: its header
// block, then each piece of standard input written back at once, as a filter
// does; at the end one line on standard error with the count.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const std::string head = "Content-Type: application/octet-stream\r\n\r\n";
  DWORD written = 0;
  if (!WriteFile(output, head.data(), static_cast<DWORD>(head.size()), &written, nullptr)) return 1;
  char buffer[4096];
  DWORD got = 0;
  unsigned long long total = 0;
  while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    if (!WriteFile(output, buffer, got, &written, nullptr)) return 1;
    total += got;
  }
  std::fprintf(stderr, "echo: %llu bytes\n", total);
  return 0;
}
