// Places in a document as the protocol gives them (a line and a character
// counted in UTF-16 code units or in bytes) and as this tool keeps them (a
// byte offset).
#ifndef QUORLEN_LSP_POSITIONS_H
#define QUORLEN_LSP_POSITIONS_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorlen_lsp {

enum class encoding { utf16, utf8 };

struct position {
  std::size_t line = 0;       // from 0
  std::size_t character = 0;  // from 0, in the session's units
};

// The lines of one text, both as an editor counts them (a line ends at
// "\n", "\r\n" or a lone "\r") and as the lint counts them (at "\n" only).
// A byte that is not part of valid UTF-8 counts as one character, as the
// U+FFFD an editor shows for it.  Valid only while the text is unchanged.
class text_map {
 public:
  explicit text_map(std::string_view text);

  std::size_t line_count() const { return starts_.size(); }
  std::size_t line_start(std::size_t line) const;
  // Where the line's text ends, before its line break.
  std::size_t line_end(std::size_t line) const;
  std::string_view line_text(std::size_t line) const;
  // The line holding a byte offset.
  std::size_t line_of(std::size_t offset) const;

  // A position past its line's end means the end of that line, and a line
  // past the last the end of the text; a position inside a character means
  // its start.
  std::size_t offset(position p, encoding e) const;
  position at(std::size_t offset, encoding e) const;

  // The offset of a lint line (from 1) and column (from 1, in bytes), kept
  // within that line's text.
  std::size_t lint_offset(int line, int column) const;

 private:
  std::string_view text_;
  std::vector<std::size_t> starts_;     // editor lines
  std::vector<std::size_t> nl_starts_;  // lint lines; empty when the same
};

// Characters in the bytes, in the units given.
std::size_t units(std::string_view bytes, encoding e);

// A message that is not UTF-8 cannot be read as JSON, yet an editor may send
// a line's bytes as they are.  Each byte that is not part of valid UTF-8
// becomes a code point of the last private-use plane (U+10FF80 + byte -
// 0x80) so that the message reads; restore_bytes turns them back into the
// bytes in a text taken from such a message.  Returns false when the text
// was valid UTF-8 already (and is unchanged).
bool mask_stray_bytes(std::string& text);
void restore_bytes(std::string& text);

}  // namespace quorlen_lsp

#endif
