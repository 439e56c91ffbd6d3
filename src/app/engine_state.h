// One notice of the engine's state: whoever starts or stops the engine
// tells it here once, and whatever shows the state (the tray icon's picture
// and tip) observes it, so the parts that change the state and the parts
// that show it never call each other.
#pragma once

enum class EngineState { kStarted, kStopped, kFailed };

using EngineStateObserver = void (*)(EngineState state);

// Adds an observer; each is told every later notice, in the order added.
void ObserveEngineState(EngineStateObserver observer);

// Tells every observer the engine's new state. An observer that raises an
// error ends the notice there; the error goes on to the caller.
void NoticeEngineState(EngineState state);
