// Text selections: CLIPBOARD for cut/copy/paste and PRIMARY for the last
// selected text, served to other programs while a window of ours holds them.
#include <poll.h>

#include <chrono>

#include "window/x11/x11_internal.h"

namespace wscore::x11 {

namespace {

int Index(ClipboardSelection which) { return which == ClipboardSelection::kClipboard ? 0 : 1; }

int IndexOfAtom(Atom selection) {
  if (selection == X().atoms.clipboard) return 0;
  if (selection == XA_PRIMARY) return 1;
  return -1;
}

// Tells the requestor its conversion is done: the text stands in `property`,
// or None when the request is refused.
void Reply(XSelectionRequestEvent* request, Atom property) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.requestor = request->requestor;
  reply.selection = request->selection;
  reply.target = request->target;
  reply.property = property;
  reply.time = request->time;
  XSendEvent(X().display, request->requestor, False, NoEventMask,
             reinterpret_cast<XEvent*>(&reply));
}

// Waits for the SelectionNotify that answers our conversion request.
bool AwaitNotify(XEvent* out) {
  X11State& x = X();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (std::chrono::steady_clock::now() < deadline) {
    if (XCheckTypedWindowEvent(x.display, x.helper, SelectionNotify, out)) return true;
    pollfd fd{ConnectionNumber(x.display), POLLIN, 0};
    poll(&fd, 1, 20);
    XEventsQueued(x.display, QueuedAfterReading);
  }
  return false;
}

bool Convert(Atom selection, Atom target, std::string* out) {
  X11State& x = X();
  XDeleteProperty(x.display, x.helper, x.atoms.transfer);
  XConvertSelection(x.display, selection, target, x.atoms.transfer, x.helper, x.lastEventTime);
  XEvent notify;
  if (!AwaitNotify(&notify) || notify.xselection.property == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool ok = XGetWindowProperty(x.display, x.helper, x.atoms.transfer, 0, 1 << 24, True,
                               AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
            format == 8 && data != nullptr;
  if (ok) out->assign(reinterpret_cast<char*>(data), count);
  if (data) XFree(data);
  return ok;
}

}  // namespace

bool SetSelection(ClipboardSelection which, WindowRecord* owner, const std::string& text) {
  X11State& x = X();
  int i = Index(which);
  Window window = static_cast<Window>(owner->native);
  XSetSelectionOwner(x.display, SelectionAtom(which), window, x.lastEventTime);
  if (XGetSelectionOwner(x.display, SelectionAtom(which)) != window) return false;
  x.selectionText[i] = text;
  x.selectionOwner[i] = window;
  return true;
}

bool GetSelection(ClipboardSelection which, std::string* out) {
  X11State& x = X();
  int i = Index(which);
  Window owner = XGetSelectionOwner(x.display, SelectionAtom(which));
  if (owner == None) return false;
  if (owner == x.selectionOwner[i]) {
    *out = x.selectionText[i];
    return true;
  }
  return Convert(SelectionAtom(which), x.atoms.utf8String, out) ||
         Convert(SelectionAtom(which), XA_STRING, out);
}

void DropSelections(WindowRecord* window) {
  X11State& x = X();
  for (int i = 0; i < 2; ++i) {
    if (x.selectionOwner[i] != 0 && x.selectionOwner[i] == static_cast<Window>(window->native)) {
      x.selectionOwner[i] = 0;
      x.selectionText[i].clear();
    }
  }
}

void HandleSelectionRequest(XSelectionRequestEvent* request) {
  X11State& x = X();
  int i = IndexOfAtom(request->selection);
  if (i < 0 || request->owner != x.selectionOwner[i]) {
    Reply(request, None);
    return;
  }
  Atom property = request->property == None ? request->target : request->property;
  const std::string& text = x.selectionText[i];
  if (request->target == x.atoms.targets) {
    Atom offered[] = {x.atoms.targets, x.atoms.utf8String, XA_STRING, x.atoms.text};
    XChangeProperty(x.display, request->requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(offered), 4);
  } else if (request->target == x.atoms.utf8String || request->target == XA_STRING ||
             request->target == x.atoms.text) {
    Atom type = request->target == XA_STRING ? XA_STRING : x.atoms.utf8String;
    XChangeProperty(x.display, request->requestor, property, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
  } else {
    property = None;
  }
  Reply(request, property);
}

void HandleSelectionClear(XSelectionClearEvent* event) {
  X11State& x = X();
  int i = IndexOfAtom(event->selection);
  if (i >= 0 && x.selectionOwner[i] == event->window) {
    x.selectionOwner[i] = 0;
    x.selectionText[i].clear();
  }
}

}  // namespace wscore::x11
