// A folder with a page to serve, a plain file and an empty folder standing
// for the PHP folder, made for one test and removed after it.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_os.h"

struct Scratch {
  std::string root;
  Scratch() : root(testos::MakeTempFolder("ambrel-app-test")) {
    std::ofstream(File(), std::ios::binary) << "<p>served by the main window</p>\n";
    std::filesystem::create_directory(Path("/php"));
  }
  ~Scratch() { testos::RemoveTree(root); }
  // The folder's own path with `tail` added, in this system's separators.
  std::string Path(const std::string& tail) const { return testos::Native(root + tail); }
  std::string File() const { return Path("/index.html"); }
};
