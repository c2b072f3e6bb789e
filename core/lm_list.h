// LmList<T>: a doubly linked list of value copies with a built-in cursor.
//
// The list owns its nodes and the values stored in them (a FILENODE's path
// or an LmString is destroyed with its node). For pointer types it stores
// only the pointer and never deletes or releases what it points to.
//
// Cursor rules: the cursor is unset exactly when the list is empty. Adding
// the first node puts the cursor on it; adding at either end or inserting
// next to the cursor does not move it; removing the current node moves it
// to the node that followed, or to the new tail when the tail was removed.
//
// Every operation but RemoveAll takes constant time. A failed allocation
// throws std::bad_alloc and leaves the list as it was. No locking: callers
// that share a list hold its object lock.
#ifndef LM_CORE_LM_LIST_H_
#define LM_CORE_LM_LIST_H_

#include <cstdint>

#include "core/lm_object.h"

template <typename T>
class LmList : public virtual LmObject {
 public:
  struct Node {
    T value;  // first, so that a node pointer is also a value pointer
    Node* prev;
    Node* next;
    explicit Node(const T& v) : value(v), prev(nullptr), next(nullptr) {}
  };

  LmList() : LmObject(), count(0), head(nullptr), current(nullptr), tail(nullptr) {}
  ~LmList() override { RemoveAll(); }
  LmList(const LmList&) = delete;
  LmList& operator=(const LmList&) = delete;

  virtual int32_t GetCount() { return count; }
  virtual int IsFirst() { return current != nullptr && current == head ? 1 : 0; }
  virtual int IsLast() { return current != nullptr && current == tail ? 1 : 0; }
  virtual int MoveFirst() {
    if (head == nullptr) return 0;
    current = head;
    return 1;
  }
  virtual int MoveLast() {
    if (tail == nullptr) return 0;
    current = tail;
    return 1;
  }
  virtual int MovePrev() {
    if (current == nullptr || current->prev == nullptr) return 0;
    current = current->prev;
    return 1;
  }
  virtual int MoveNext() {
    if (current == nullptr || current->next == nullptr) return 0;
    current = current->next;
    return 1;
  }
  virtual void RemoveAll() {
    Node* node = head;
    while (node != nullptr) {
      Node* next = node->next;
      delete node;
      node = next;
    }
    count = 0;
    head = current = tail = nullptr;
  }
  virtual int AddHead(T value) { return Link(new Node(value), head, false); }
  virtual int AddTail(T value) { return Link(new Node(value), tail, true); }
  // Next to the cursor: after it when `after` is nonzero, else before it.
  virtual int Insert(T value, int after) {
    if (current == nullptr) return 0;
    return Link(new Node(value), current, after != 0);
  }
  virtual int SetCurrent(T value) {
    if (current == nullptr) return 0;
    current->value = value;
    return 1;
  }
  virtual int RemoveCurrent() {
    if (current == nullptr) return 0;
    Node* node = current;
    if (node == head) {
      head = node->next;
      current = head;
      if (head != nullptr) {
        head->prev = nullptr;
      } else {
        tail = nullptr;
      }
    } else if (node == tail) {
      tail = node->prev;
      tail->next = nullptr;
      current = tail;
    } else {
      node->prev->next = node->next;
      node->next->prev = node->prev;
      current = node->next;
    }
    delete node;
    --count;
    return 1;
  }
  // The value in the current node; null without a cursor.
  virtual T* GetCurrent() { return current != nullptr ? &current->value : nullptr; }

  // For walking from the head along `next`.
  Node* GetHead() const { return head; }

 protected:
  int32_t count;
  Node* head;
  Node* current;
  Node* tail;

 private:
  // Links `node` in after or before `anchor`, or as the only node (under
  // the cursor) when `anchor` is null, which it is only in an empty list.
  // Returns 1.
  int Link(Node* node, Node* anchor, bool after) {
    if (anchor == nullptr) {
      head = current = tail = node;
    } else if (after) {
      node->prev = anchor;
      node->next = anchor->next;
      if (anchor->next != nullptr) anchor->next->prev = node;
      anchor->next = node;
      if (anchor == tail) tail = node;
    } else {
      node->next = anchor;
      node->prev = anchor->prev;
      if (anchor->prev != nullptr) anchor->prev->next = node;
      anchor->prev = node;
      if (anchor == head) head = node;
    }
    ++count;
    return 1;
  }
};

#endif  // LM_CORE_LM_LIST_H_
