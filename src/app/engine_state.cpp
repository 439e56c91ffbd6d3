#include "app/engine_state.h"

#include <vector>

namespace {

// A function's own list, so that observers added while the program's
// statics are made find it made.
std::vector<EngineStateObserver>& Observers() {
  static std::vector<EngineStateObserver> observers;
  return observers;
}

}  // namespace

void ObserveEngineState(EngineStateObserver observer) { Observers().push_back(observer); }

void NoticeEngineState(EngineState state) {
  for (EngineStateObserver observer : Observers()) observer(state);
}
