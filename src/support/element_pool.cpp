#include "support/element_pool.h"

#include <new>

// In sanitizer builds, blocks on a free list and the unused rest of a chunk are
// poisoned, so a stale element or text pointer is reported on its first use
// instead of reading whatever block took its place.
#if defined(__SANITIZE_ADDRESS__)
#define ZAVERO_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZAVERO_POOL_ASAN 1
#endif
#endif

#ifdef ZAVERO_POOL_ASAN
#include <sanitizer/asan_interface.h>
#define POOL_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define POOL_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define POOL_POISON(address, size) ((void)(address), (void)(size))
#define POOL_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace zavero::support {

// The first granule of every chunk holds the link to the chunk before it, and
// every free block holds the link to the next free block of its class.
static_assert(sizeof(void*) <= ElementPool::kGranule, "a link must fit one granule");

ElementPool::~ElementPool() {
  while (chunks_ != nullptr) {
    void* previous = *static_cast<void**>(chunks_);
    POOL_UNPOISON(chunks_, kChunkBytes);
    ::operator delete(chunks_);
    chunks_ = previous;
  }
}

ElementPool& ElementPool::Shared() {
  static ElementPool pool;
  return pool;
}

void* ElementPool::Take(std::size_t bytes) {
  const std::size_t block_bytes = BlockBytes(bytes != 0 ? bytes : 1);
  if (block_bytes > kLargestPooled) {
    void* block = ::operator new(block_bytes);
    heap_bytes_ += block_bytes;
    return block;
  }
  FreeBlock*& head = free_[block_bytes / kGranule];
  if (head != nullptr) {
    FreeBlock* block = head;
    POOL_UNPOISON(block, block_bytes);
    head = block->Next;
    return block;
  }
  if (static_cast<std::size_t>(end_ - cursor_) < block_bytes) NewChunk();
  void* block = cursor_;
  cursor_ += block_bytes;
  POOL_UNPOISON(block, block_bytes);
  return block;
}

void ElementPool::Give(void* block, std::size_t bytes) {
  if (block == nullptr) return;
  const std::size_t block_bytes = BlockBytes(bytes != 0 ? bytes : 1);
  if (block_bytes > kLargestPooled) {
    ::operator delete(block);
    heap_bytes_ -= block_bytes;
    return;
  }
  Push(block, block_bytes);
}

void ElementPool::Push(void* block, std::size_t block_bytes) {
  FreeBlock*& head = free_[block_bytes / kGranule];
  POOL_UNPOISON(block, sizeof(FreeBlock));  // a chunk tail is poisoned already
  head = ::new (block) FreeBlock{head};
  POOL_POISON(block, block_bytes);
}

void ElementPool::NewChunk() {
  // The old chunk's tail is too short for this block (so below kLargestPooled)
  // but may serve a smaller class later, so it is not wasted.
  if (end_ != cursor_) Push(cursor_, static_cast<std::size_t>(end_ - cursor_));
  char* chunk = static_cast<char*>(::operator new(kChunkBytes));
  heap_bytes_ += kChunkBytes;
  *reinterpret_cast<void**>(chunk) = chunks_;
  chunks_ = chunk;
  cursor_ = chunk + kGranule;
  end_ = chunk + kChunkBytes;
  POOL_POISON(cursor_, kChunkBytes - kGranule);
}

}  // namespace zavero::support
