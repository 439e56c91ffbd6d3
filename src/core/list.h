// The intrusive doubly linked list. A list is a (first, last) pair of slots
// kept inside its owner; every node is one block that begins with its `prev`
// and `next` links. The list owns its nodes.
#pragma once

#include "core/blocks.h"

// Appends `node` at the end. False when any argument is null.
template <typename Node>
bool ListAppend(Node** first, Node** last, Node* node) {
  if (first == nullptr || last == nullptr || node == nullptr) return false;
  if (*last != nullptr) {
    (*last)->next = node;
    node->prev = *last;
    *last = node;
  } else {
    *first = node;
    *last = node;
    node->prev = nullptr;
  }
  node->next = nullptr;
  return true;
}

// Takes `node` out by its own links; the node itself is left as it was.
template <typename Node>
bool ListUnlink(Node** first, Node** last, Node* node) {
  if (first == nullptr || last == nullptr || node == nullptr) return false;
  if (node->next != nullptr) {
    node->next->prev = node->prev;
  } else {
    *last = node->prev;
  }
  if (node->prev != nullptr) {
    node->prev->next = node->next;
  } else {
    *first = node->next;
  }
  return true;
}

// Unlinks `node` and releases its block (not the texts it refers to).
template <typename Node>
bool ListRemove(Node** first, Node** last, Node* node) {
  if (!ListUnlink(first, last, node)) return false;
  FreeAndClear(&node);
  return true;
}
