// Memory for work-list elements. A scan can queue hundreds of thousands of
// paths, one small block each, so blocks come in size classes of 8 bytes,
// carved from 64 KiB chunks and kept on one free list per class once given
// back: after the pool has warmed up, inserting and removing elements never
// calls the heap, and a block costs at most 7 bytes of rounding.
#pragma once

#include <cstddef>

namespace zavero::support {

class ElementPool {
 public:
  static constexpr std::size_t kGranule = 8;           // block sizes are multiples of this
  static constexpr std::size_t kLargestPooled = 2048;  // larger blocks go to the heap directly
  static constexpr std::size_t kChunkBytes = 64 * 1024;

  ElementPool() = default;
  ~ElementPool();  // gives every chunk back; blocks still out become invalid
  ElementPool(const ElementPool&) = delete;
  ElementPool& operator=(const ElementPool&) = delete;

  // The pool every WorkList uses unless it is given its own. Lives until the
  // process ends.
  static ElementPool& Shared();

  // A block of at least `bytes` (> 0), aligned for pointers. Throws
  // std::bad_alloc when the heap has no room for a new chunk.
  void* Take(std::size_t bytes);
  // Returns a block that Take(bytes) handed out, with the same `bytes`.
  void Give(void* block, std::size_t bytes);

  // The size of the block Take(bytes) hands out.
  static std::size_t BlockBytes(std::size_t bytes) {
    return (bytes + kGranule - 1) / kGranule * kGranule;
  }
  // Bytes this pool holds from the heap: its chunks and its unpooled blocks.
  std::size_t HeapBytes() const { return heap_bytes_; }

 private:
  static constexpr std::size_t kClasses = kLargestPooled / kGranule + 1;
  struct FreeBlock {
    FreeBlock* Next;
  };

  void Push(void* block, std::size_t block_bytes);
  void NewChunk();

  FreeBlock* free_[kClasses] = {};  // index: block bytes / kGranule
  char* cursor_ = nullptr;          // unused tail of the newest chunk
  char* end_ = nullptr;
  void* chunks_ = nullptr;          // newest chunk; each starts with a link to the one before
  std::size_t heap_bytes_ = 0;
};

}  // namespace zavero::support
