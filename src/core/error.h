// The one error type of the program: a condition raised with its message
// text ("Allocation Failed", "Winsock could not be initialized", ...) and
// caught by whoever the text concerns.
#pragma once

#include <cstring>
#include <exception>

class ErrorText : public std::exception {
 public:
  // Keeps a copy in a fixed buffer: raising "Allocation Failed" must not
  // need memory of its own.
  explicit ErrorText(const char* text) noexcept {
    std::strncpy(text_, text != nullptr ? text : "", sizeof(text_) - 1);
    text_[sizeof(text_) - 1] = '\0';
  }
  const char* what() const noexcept override { return text_; }

 private:
  char text_[160];
};

inline constexpr const char* kAllocationFailedText = "Allocation Failed";
inline constexpr const char* kSocketLibraryFailedText = "Winsock could not be initialized";
