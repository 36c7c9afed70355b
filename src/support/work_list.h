// An ordered list of texts with one current element: the scan's folder queue
// and its list of matches.
//
// The scan's depth-first order rests on three rules: an insertion goes right
// after the current element (at the head when there is none) and becomes
// current; MoveNext stays on the last element; a removal makes the previous
// element current (the follower when the first one goes).
//
// Each element is one pool block: its links, its length and its characters,
// so a 60-character path costs well under 100 bytes and no heap call once the
// pool has warmed up. Every operation but Clear takes constant time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/element_pool.h"
#include "support/text.h"

namespace zavero::support {

class WorkList {
 public:
  class Element {
   public:
    // The element's text, zero-terminated; valid until its text is replaced
    // or it is removed.
    const char* Text() const { return reinterpret_cast<const char*>(this + 1); }
    std::size_t Length() const { return length_; }

   private:
    friend class WorkList;
    Element* next_ = nullptr;
    Element* previous_ = nullptr;
    std::size_t length_ = 0;
  };

  // Create: an empty list, count 0, no current element, on the shared pool
  // or on the pool given.
  WorkList();
  explicit WorkList(ElementPool& pool);
  ~WorkList();  // gives every element back to the pool
  WorkList(const WorkList&) = delete;
  WorkList& operator=(const WorkList&) = delete;

  // Gives back every element; count 0, no current element.
  void Clear();

  // A new element with empty text right after the current element, or at the
  // head when there is none; it becomes current. Its text is meant to be set
  // with SetCurrentText straight away.
  const Element* InsertAfterCurrent();
  // The same, with the element's text given at once (one block, no re-homing).
  const Element* InsertAfterCurrent(TextRef text);

  // Replaces the current element's text; does nothing without a current
  // element. Element pointers to the current element are invalid afterwards.
  void SetCurrentText(TextRef text);

  // A copy of the current element's text; empty without a current element.
  std::string CurrentText() const;
  // The current element, or null.
  const Element* Current() const { return current_; }

  // Makes the first element current and returns it; null on an empty list.
  const Element* MoveFirst();
  // Moves to the next element and returns it; on the last element returns
  // null and stays there; without a current element acts as MoveFirst.
  const Element* MoveNext();

  // Unlinks and gives back the current element; its previous element becomes
  // current, or its follower when it was the first. Nothing without one.
  void RemoveCurrent();

  std::int32_t Count() const { return count_; }

 private:
  Element* MakeElement(TextRef text);
  void Release(Element* element);
  void LinkAfterCurrent(Element* element);
  static std::size_t BytesFor(std::size_t length) { return sizeof(Element) + length + 1; }

  ElementPool& pool_;
  Element* first_ = nullptr;
  Element* current_ = nullptr;
  std::int32_t count_ = 0;
};

}  // namespace zavero::support
