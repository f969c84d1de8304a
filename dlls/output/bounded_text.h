// Bounded text handling for everything that carries host or player text: the
// format is always ours, names and ids are only ever arguments or data, and
// every result has a fixed upper size.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Formats like snprintf into a buffer of `capacity` bytes: the result holds at
// most capacity - 1 characters.  A null format or a formatting error gives "".
std::string FormatBounded(std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The first `maxBytes` bytes of `text` (all of it when it is shorter), less
// the start of a UTF-8 character the cut would split: a cut text never ends
// inside a character.  Text of plain ASCII, or bytes that are no UTF-8, are
// cut at exactly `maxBytes`.
std::string_view CutToBytes(std::string_view text, std::size_t maxBytes);

// The length of the first piece of `line` that fits in `maxBytes` bytes,
// stepping back so that a UTF-8 sequence is not split (unless the sequence
// alone fills the whole piece).  At least 1 for a non-empty line.
std::size_t PieceLength(std::string_view line, std::size_t maxBytes);

// Calls `emit(piece)` for each console line of `text`, in order: the text is
// split at its line ends, a final line end ends the last line rather than
// starting an empty one (so "" and "\n"-terminated texts print no extra
// line), and a line longer than `maxPieceBytes` comes out as several pieces
// of at most that size, none lost.  Pieces hold no line end.
template <typename Emit>
void ForEachConsolePiece(std::string_view text, std::size_t maxPieceBytes, Emit&& emit) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    do {
      const std::size_t length = PieceLength(line, maxPieceBytes);
      emit(line.substr(0, length));
      line.remove_prefix(length);
    } while (!line.empty());
  }
}
