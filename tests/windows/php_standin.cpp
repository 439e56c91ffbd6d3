// A PHP interpreter for the Windows tests, copied into a PHP folder as
// php-cgi.exe or php.exe: it answers with the file it runs from (which of
// the two the gateway chose), its arguments (the page), its environment and
// the request body on its standard input.
#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::string body;
  char buffer[4096];
  DWORD got = 0;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) body.append(buffer, got);

  char program[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
  std::string out = "program " + std::string(program, n) + "\n";
  for (int i = 1; i < argc; ++i) out += "arg " + std::string(argv[i]) + "\n";
  char* block = GetEnvironmentStringsA();
  for (const char* p = block; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
    out += "env " + std::string(p) + "\n";
  }
  FreeEnvironmentStringsA(block);
  out += "body " + body + "\n";

  std::string head = "Content-Type: text/plain\r\nX-Php-Standin: 1\r\n\r\n";
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  WriteFile(output, head.data(), static_cast<DWORD>(head.size()), &written, nullptr);
  WriteFile(output, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  return 0;
}
