// What the program has drawn on the terminal, cell by cell, as a console
// screen buffer would keep it. A terminal keeps nothing for its program: once
// the shell has had it (the program stopped with Ctrl+Z), the program's rows
// are gone, and only a model can draw them again when it continues.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zavero::platform {

class ScreenModel {
 public:
  // A blank screen of the given size (as the terminal's own clear leaves
  // it), the cursor home; the model is in use from here on.
  void Reset(int width, int height);
  bool InUse() const { return width_ > 0; }

  void MoveCursor(int x, int y);
  void SetAttribute(std::uint16_t attribute) { attribute_ = attribute; }
  // Wrap at the last column on (stream mode) or off (screen mode).
  void SetWrap(bool wrap) { wrap_ = wrap; pending_wrap_ = false; }
  void SetTitle(const std::string& title) { title_ = title; }

  // UTF-8 text as the terminal takes it at the cursor: CR, LF (with the
  // usual CR added), the cut or the wrap at the last column, scrolling at
  // the bottom. Other control bytes draw nothing.
  void Put(const char* bytes, std::size_t count);

  // The sequences that draw the model again on a terminal that shows
  // anything at all: colours, wrapping, title, every cell, cursor.
  std::string Redraw() const;

 private:
  struct Cell {
    char Bytes[7] = {' '};  // one character, with its combining marks as far as they fit
    std::uint8_t Size = 1;  // 0: the right half of a wide character
    std::uint16_t Attribute = 0x07;
  };
  void PutCharacter(const char* bytes, std::size_t size, int cells);
  void NewLine();
  Cell& At(int x, int y) { return cells_[static_cast<std::size_t>(y) * width_ + x]; }

  int width_ = 0, height_ = 0;
  int x_ = 0, y_ = 0;
  bool wrap_ = true;
  bool pending_wrap_ = false;  // the last column is written; the next character wraps
  std::uint16_t attribute_ = 0x07;
  std::string title_;
  std::vector<Cell> cells_;
};

}  // namespace zavero::platform
