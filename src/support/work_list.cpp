#include "support/work_list.h"

#include <cstring>
#include <new>

namespace zavero::support {

WorkList::WorkList() : WorkList(ElementPool::Shared()) {}

WorkList::WorkList(ElementPool& pool) : pool_(pool) {}

WorkList::~WorkList() { Clear(); }

void WorkList::Clear() {
  Element* element = first_;
  while (element != nullptr) {
    Element* next = element->next_;
    Release(element);
    element = next;
  }
  first_ = nullptr;
  current_ = nullptr;
  count_ = 0;
}

const WorkList::Element* WorkList::InsertAfterCurrent() { return InsertAfterCurrent(""); }

const WorkList::Element* WorkList::InsertAfterCurrent(TextRef text) {
  Element* element = MakeElement(text);
  LinkAfterCurrent(element);
  ++count_;
  return element;
}

void WorkList::SetCurrentText(TextRef text) {
  if (current_ == nullptr) return;
  Element* old = current_;
  if (ElementPool::BlockBytes(BytesFor(text.size())) ==
      ElementPool::BlockBytes(BytesFor(old->length_))) {
    // Same block size: rewrite in place. memmove, since the new text may be
    // a piece of the old one.
    char* chars = reinterpret_cast<char*>(old + 1);
    std::memmove(chars, text.data(), text.size());
    chars[text.size()] = '\0';
    old->length_ = text.size();
    return;
  }
  // The new block takes the old one's place in the chain; the old text is
  // copied before its block is given back, in case the two overlap.
  Element* element = MakeElement(text);
  element->previous_ = old->previous_;
  element->next_ = old->next_;
  if (element->previous_ != nullptr) element->previous_->next_ = element;
  if (element->next_ != nullptr) element->next_->previous_ = element;
  if (first_ == old) first_ = element;
  current_ = element;
  Release(old);
}

std::string WorkList::CurrentText() const {
  return current_ != nullptr ? std::string(current_->Text(), current_->length_) : std::string();
}

const WorkList::Element* WorkList::MoveFirst() {
  current_ = first_;
  return current_;
}

const WorkList::Element* WorkList::MoveNext() {
  if (current_ == nullptr) return MoveFirst();
  if (current_->next_ == nullptr) return nullptr;
  current_ = current_->next_;
  return current_;
}

void WorkList::RemoveCurrent() {
  Element* gone = current_;
  if (gone == nullptr) return;
  Element* previous = gone->previous_;
  Element* next = gone->next_;
  if (previous != nullptr) {
    previous->next_ = next;
  } else {
    first_ = next;
  }
  if (next != nullptr) next->previous_ = previous;
  current_ = previous != nullptr ? previous : next;
  Release(gone);
  --count_;
}

WorkList::Element* WorkList::MakeElement(TextRef text) {
  Element* element = ::new (pool_.Take(BytesFor(text.size()))) Element;
  char* chars = reinterpret_cast<char*>(element + 1);
  std::memcpy(chars, text.data(), text.size());
  chars[text.size()] = '\0';
  element->length_ = text.size();
  return element;
}

void WorkList::Release(Element* element) { pool_.Give(element, BytesFor(element->length_)); }

void WorkList::LinkAfterCurrent(Element* element) {
  if (current_ != nullptr) {
    element->previous_ = current_;
    element->next_ = current_->next_;
    current_->next_ = element;
  } else {
    element->previous_ = nullptr;
    element->next_ = first_;
    first_ = element;
  }
  if (element->next_ != nullptr) element->next_->previous_ = element;
  current_ = element;
}

}  // namespace zavero::support
