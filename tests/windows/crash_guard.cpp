// Every Windows test program: a crash ends it with a non-zero code and a line
// on standard error, never with a dialog (under Wine a crash may otherwise end
// the program with 0).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

LONG WINAPI ReportAndExit(EXCEPTION_POINTERS* info) {
  DWORD code = info != nullptr && info->ExceptionRecord != nullptr ? info->ExceptionRecord->ExceptionCode : 0;
  void* where = info != nullptr && info->ExceptionRecord != nullptr ? info->ExceptionRecord->ExceptionAddress : nullptr;
  std::fprintf(stderr, "unhandled exception 0x%08lx at %p\n", static_cast<unsigned long>(code), where);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

const bool FilterInstalled = [] {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(ReportAndExit);
  return true;
}();

}  // namespace
