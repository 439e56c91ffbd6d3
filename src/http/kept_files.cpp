#include "http/kept_files.h"

#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Entry {
  std::string name;        // empty: the entry keeps no name (free, or retired)
  size_t name_hash = 0;
  FileHandle file = kInvalidFile;
  FileInfo info{};
  int32_t holders = 0;     // requests using `file` now
  uint64_t last_use = 0;   // for choosing which entry to reuse
};

std::mutex TableLock;
std::vector<Entry>& Table() {
  static std::vector<Entry> table(static_cast<size_t>(kKeptFileCapacity));
  return table;
}
uint64_t UseCounter = 0;  // under TableLock

bool SameFile(const FileInfo& a, const FileInfo& b) {
  return a.volume_serial == b.volume_serial && a.index_high == b.index_high &&
         a.index_low == b.index_low && a.size_high == b.size_high && a.size_low == b.size_low &&
         a.last_write_time == b.last_write_time && a.creation_time == b.creation_time;
}

// Under TableLock. The entry stops standing for its name; its file closes
// now, or when its last holder gives it back.
void Retire(Entry* e) {
  e->name.clear();
  e->name_hash = 0;
  if (e->holders == 0 && e->file != kInvalidFile) {
    CloseFile(e->file);
    e->file = kInvalidFile;
  }
}

// Under TableLock: the entry kept for the name, or null.
Entry* Find(const char* path, size_t hash) {
  for (Entry& e : Table()) {
    if (e.name_hash == hash && !e.name.empty() && e.name == path) return &e;
  }
  return nullptr;
}

// Under TableLock: a free entry, else the one least recently used that no
// request holds; null when every entry is held.
Entry* FreeEntry() {
  Entry* best = nullptr;
  for (Entry& e : Table()) {
    if (e.holders != 0) continue;
    if (e.file == kInvalidFile) return &e;
    if (best == nullptr || e.last_use < best->last_use) best = &e;
  }
  return best;
}

int32_t SlotOf(const Entry* e) { return static_cast<int32_t>(e - Table().data()) + 1; }

}  // namespace

KeptFile TakeFile(const char* path, FileInfo* info, PathKind* kind) {
  if (kKeptFileCapacity == 0 || path == nullptr) return {OpenFileWithInfo(path, info, kind), 0};
  // The name is looked up on every request: whatever happened to the file
  // since the last one shows in its facts.
  FileInfo now;
  *kind = QueryPathInfo(path, &now);
  const size_t hash = std::hash<std::string_view>{}(path);
  {
    std::lock_guard<std::mutex> lock(TableLock);
    Entry* e = Find(path, hash);
    if (e != nullptr && *kind == PathKind::kFile && SameFile(e->info, now)) {
      ++e->holders;
      e->last_use = ++UseCounter;
      *info = now;
      return {e->file, SlotOf(e)};
    }
    if (e != nullptr) Retire(e);
  }
  if (*kind != PathKind::kFile) return {kInvalidFile, 0};
  KeptFile taken{OpenFileWithInfo(path, info, kind), 0};
  if (taken.file == kInvalidFile) return taken;
  std::lock_guard<std::mutex> lock(TableLock);
  // Another request may have kept the same name meanwhile: the newer open wins.
  if (Entry* twin = Find(path, hash)) Retire(twin);
  Entry* e = FreeEntry();
  if (e == nullptr) return taken;  // every entry is in use: the request's own
  Retire(e);
  e->name = path;
  e->name_hash = hash;
  e->file = taken.file;
  e->info = *info;
  e->holders = 1;
  e->last_use = ++UseCounter;
  taken.slot = SlotOf(e);
  return taken;
}

void GiveBackFile(KeptFile* taken) {
  if (taken->file == kInvalidFile) return;
  if (taken->slot == 0) {
    CloseFile(taken->file);
  } else {
    std::lock_guard<std::mutex> lock(TableLock);
    Entry& e = Table()[static_cast<size_t>(taken->slot - 1)];
    --e.holders;
    if (e.name.empty()) Retire(&e);
  }
  *taken = {kInvalidFile, 0};
}

void CloseKeptFiles() {
  std::lock_guard<std::mutex> lock(TableLock);
  for (Entry& e : Table()) {
    if (e.holders == 0) Retire(&e);
  }
}

int32_t KeptFileCount() {
  std::lock_guard<std::mutex> lock(TableLock);
  int32_t count = 0;
  for (const Entry& e : Table()) count += e.file != kInvalidFile ? 1 : 0;
  return count;
}
