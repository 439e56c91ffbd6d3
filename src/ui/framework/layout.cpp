// Window descriptions: building groups and controls, releasing them, and the
// anchor layout that places them on every size change.
#include "core/blocks.h"
#include "core/list.h"
#include "ui/framework/gui_window.h"

namespace {

LayoutSpec MakeSpec(int32_t hAnchor, int32_t x, int32_t vAnchor, int32_t y, int32_t widthMode,
                    int32_t width, int32_t heightMode, int32_t height) {
  LayoutSpec spec;
  spec.hAnchor = hAnchor;
  spec.vAnchor = vAnchor;
  spec.widthMode = widthMode;
  spec.heightMode = heightMode;
  spec.x = x;
  spec.y = y;
  spec.width = width;
  spec.height = height;
  return spec;
}

// Lays out one group's controls inside its content rectangle and moves their windows.
void LayoutControls(LayoutGroup* group) {
  for (LayoutControl* control = group->controls.first; control != nullptr; control = control->next) {
    ApplyLayoutSpec(control->spec, group->contentRect, &control->rect);
    if (control->hwnd != nullptr) {
      MoveWindow(control->hwnd, control->rect.x, control->rect.y, control->rect.width,
                 control->rect.height, true);
    }
  }
}

}  // namespace

GuiWindow* NewGuiWindow(int32_t minWidth, int32_t minHeight, int32_t maxWidth, int32_t maxHeight,
                        uint32_t style, WindowProc appProc) {
  GuiWindow* window = nullptr;
  if (!AllocBlock(&window, static_cast<int32_t>(sizeof(GuiWindow)), true)) return nullptr;
  window->minWidth = minWidth;
  window->minHeight = minHeight;
  window->maxWidth = maxWidth;
  window->maxHeight = maxHeight;
  window->style = style;
  window->appProc = appProc;
  window->clientRect = LayoutRect{0, 0, minWidth, minHeight};
  return window;
}

void SetWindowBanner(GuiWindow* window, const Image* image) {
  if (window != nullptr) window->banner = image;
}

LayoutGroup* AddLayoutGroup(GuiWindow* window, LayoutGroup* parentGroup, const char* caption,
                            int32_t id, int32_t hAnchor, int32_t x, int32_t vAnchor, int32_t y,
                            int32_t widthMode, int32_t width, int32_t heightMode, int32_t height) {
  if (window == nullptr && parentGroup == nullptr) return nullptr;
  LayoutGroup* group = nullptr;
  if (!AllocBlock(&group, static_cast<int32_t>(sizeof(LayoutGroup)), true)) return nullptr;
  if (caption != nullptr) {
    group->caption = DupString(caption);
    if (group->caption == nullptr) {
      FreeAndClear(&group);
      return nullptr;
    }
  }
  group->id = id;
  group->parent = parentGroup;
  group->spec = MakeSpec(hAnchor, x, vAnchor, y, widthMode, width, heightMode, height);
  ListOf<LayoutGroup>* list = parentGroup != nullptr ? &parentGroup->children : &window->groups;
  ListAppend(&list->first, &list->last, group);
  return group;
}

LayoutControl* AddLayoutControl(LayoutGroup* group, const char* text, const char* className,
                                uint32_t exStyle, uint32_t style, int32_t id, int32_t hAnchor,
                                int32_t x, int32_t vAnchor, int32_t y, int32_t widthMode,
                                int32_t width, int32_t heightMode, int32_t height) {
  if (group == nullptr) return nullptr;
  LayoutControl* control = nullptr;
  if (!AllocBlock(&control, static_cast<int32_t>(sizeof(LayoutControl)), true)) return nullptr;
  control->text = text;
  control->className = className;
  control->exStyle = exStyle;
  control->style = style;
  control->id = id;
  control->spec = MakeSpec(hAnchor, x, vAnchor, y, widthMode, width, heightMode, height);
  ListAppend(&group->controls.first, &group->controls.last, control);
  return control;
}

void SetGroupIcon(LayoutGroup* group, const Icon* icon) {
  if (group != nullptr) group->icon = icon;
}

GroupIcon* AddGroupIcon(LayoutGroup* group, const Icon* icon, int32_t x, int32_t y, int32_t size) {
  if (group == nullptr) return nullptr;
  GroupIcon* entry = nullptr;
  if (!AllocBlock(&entry, static_cast<int32_t>(sizeof(GroupIcon)), true)) return nullptr;
  entry->icon = icon;
  entry->x = x;
  entry->y = y;
  entry->size = size;
  ListAppend(&group->icons.first, &group->icons.last, entry);
  return entry;
}

void FreeLayoutGroup(LayoutGroup* group) {
  while (group != nullptr) {
    LayoutGroup* next = group->next;
    FreeLayoutGroup(group->children.first);
    while (group->controls.first != nullptr) {
      ListRemove(&group->controls.first, &group->controls.last, group->controls.first);
    }
    while (group->icons.first != nullptr) {
      ListRemove(&group->icons.first, &group->icons.last, group->icons.first);
    }
    FreeAndClear(&group->caption);
    FreeAndClear(&group);
    group = next;
  }
}

void ApplyLayoutSpec(const LayoutSpec& spec, const LayoutRect& p, LayoutRect* rect) {
  if (spec.hAnchor == kFromLeft) rect->x = p.x + spec.x;
  if (spec.hAnchor == kFromRight) rect->x = p.x + p.width - spec.x;
  if (spec.vAnchor == kFromTop) rect->y = p.y + spec.y;
  if (spec.vAnchor == kFromBottom) rect->y = p.y + p.height - spec.y;
  if (spec.widthMode == kFixedSize) rect->width = spec.width;
  if (spec.widthMode == kKeepMargin) rect->width = p.x + p.width - spec.width - rect->x;
  if (spec.heightMode == kFixedSize) rect->height = spec.height;
  if (spec.heightMode == kKeepMargin) rect->height = p.y + p.height - spec.height - rect->y;
}

LayoutRect GroupContentRect(const LayoutGroup* group) {
  const LayoutRect& r = group->rect;
  if (group->caption == nullptr) return r;
  if (group->caption[0] == '\0') return LayoutRect{r.x + 11, r.y + 11, r.width - 22, r.height - 22};
  // A 23-pixel caption bar below the 11-pixel frame inset.
  return LayoutRect{r.x + 11, r.y + 34, r.width - 22, r.height - 45};
}

void RunLayoutPass(GuiWindow* window, int32_t width, int32_t height) {
  if (window == nullptr) return;
  window->clientRect = LayoutRect{0, 0, width, height};
  window->inLayout = true;
  ForEachGroup(window->groups.first, [window](LayoutGroup* group) {
    const LayoutRect& parent =
        group->parent != nullptr ? group->parent->contentRect : window->clientRect;
    ApplyLayoutSpec(group->spec, parent, &group->rect);
    group->contentRect = GroupContentRect(group);
    LayoutControls(group);
  });
  window->inLayout = false;
}
