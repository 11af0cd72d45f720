#include "input/diagnostics.h"

#include <cstdio>

#include "quorlen_core.h"

namespace quorlen_tool {

std::string fault_reason(const quorlen::fault& f) {
  const std::string opened = std::to_string(f.block_line);
  switch (f.kind) {
  case quorlen::fault_kind::unclosed_section:
    return "section header without its closing ']'";
  case quorlen::fault_kind::missing_separator:
    return "line has neither '=' nor ':'";
  case quorlen::fault_kind::refused:
    return "the library could not store this entry (out of memory)";
  case quorlen::fault_kind::block_unterminated:
    return "code block opened at line " + opened +
           " reaches the end of the file";
  case quorlen::fault_kind::block_broken_off:
    return "section header inside the code block opened at line " + opened +
           "; the block is dropped and the header not applied";
  case quorlen::fault_kind::block_no_memory:
    return "the code block opened at line " + opened +
           " could not be stored (out of memory)";
  }
  return "faulty line";
}

std::size_t utf8_sequence(std::string_view text, std::size_t i,
                          std::uint32_t* code) {
  const auto byte = [&](std::size_t k) {
    return static_cast<unsigned char>(text[k]);
  };
  const unsigned char c = byte(i);
  *code = c;
  if (c < 0x80) return 1;
  std::size_t length;
  std::uint32_t min;
  std::uint32_t value;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, min = 0x80, value = c & 0x1Fu;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, min = 0x800, value = c & 0x0Fu;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, min = 0x10000, value = c & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3Fu);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *code = value;
  return length;
}

bool valid_utf8(std::string_view text) {
  std::uint32_t code;
  for (std::size_t i = 0, length; i < text.size(); i += length) {
    length = utf8_sequence(text, i, &code);
    if (length == 0) return false;
  }
  return true;
}

namespace {

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
         (c >= 'A' && c <= 'F');
}

// Whether the byte escaped at text[i] is followed by a hex digit, which
// would be read with the \xNN before it: then the byte is written \x{NN}.
bool braced(std::string_view text, std::size_t i) {
  return i + 1 < text.size() && is_hex_digit(text[i + 1]);
}

void append_escape(std::string& out, unsigned char byte, bool brace) {
  static const char digits[] = "0123456789abcdef";
  out += "\\x";
  if (brace) out += '{';
  out += digits[byte >> 4];
  out += digits[byte & 0xF];
  if (brace) out += '}';
}

// The width on a terminal of the escape of text[i].
std::size_t escape_width(std::string_view text, std::size_t i) {
  return braced(text, i) ? 6 : 4;
}

// Length of the valid UTF-8 sequence at text[i] that is safe to show, or 0
// when the byte must be escaped.
std::size_t shown_length(std::string_view text, std::size_t i, bool keep_tabs) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c == '\t') return keep_tabs ? 1 : 0;
  if (c < 0x20 || c == 0x7F) return 0;
  std::uint32_t code;
  const std::size_t length = utf8_sequence(text, i, &code);
  if (code >= 0x80 && code <= 0x9F) return 0;  // C1 controls
  return length;
}

// Whether text[i] starts a UTF-8 sequence that the end of the text cuts.
bool cut_at_end(std::string_view text, std::size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  const std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                             : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4 ? 4
                                                      : 0;
  if (length == 0 || i + length <= text.size()) return false;
  for (std::size_t k = i + 1; k < text.size(); ++k) {
    if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) return false;
  }
  return true;
}

}  // namespace

std::string escape_text(std::string_view text, bool keep_tabs) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = shown_length(text, i, keep_tabs);
    if (length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else if (text[i] == '\t') {
      out += "\\t";
      ++i;
    } else {
      append_escape(out, static_cast<unsigned char>(text[i]), braced(text, i));
      ++i;
    }
  }
  return out;
}

std::size_t append_controls_escaped(std::string& out, std::string_view text,
                                    bool more) {
  for (std::size_t i = 0; i < text.size();) {
    // Printable ASCII, tabs and line ends, most of any text, go over in runs.
    std::size_t plain = i;
    while (plain < text.size() &&
           ((text[plain] >= 0x20 && text[plain] < 0x7F) ||
            text[plain] == '\t' || text[plain] == '\n')) {
      ++plain;
    }
    out.append(text.substr(i, plain - i));
    if ((i = plain) == text.size()) break;
    const auto c = static_cast<unsigned char>(text[i]);
    std::uint32_t code;
    std::size_t length = utf8_sequence(text, i, &code);
    if (length == 0) {
      if (more && cut_at_end(text, i)) return i;
      length = 1;  // a byte of another encoding
    }
    const bool control = (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F ||
                         (code >= 0x80 && code <= 0x9F);
    if (control) {
      // The escape of the last byte waits for the character after it.
      if (more && i + length == text.size()) return i;
      for (std::size_t k = i; k < i + length; ++k) {
        append_escape(out, static_cast<unsigned char>(text[k]),
                      braced(text, k));
      }
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return text.size();
}

std::string escape_controls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_controls_escaped(out, text, false);
  return out;
}

bool is_blank(char c) { return quorlen::space_class()(c); }

std::size_t width_of(std::string_view text) {
  std::size_t column = 0;
  for (const char c : text) {
    if (c == '\t') {
      column = (column / 8 + 1) * 8;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return column;
}

std::string in_quotes(std::string_view text) {
  return "'" + escape_text(text) + "'";
}

std::string number_text(std::int64_t value, bool hex) {
  if (value < 0 || !hex) return std::to_string(value);
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX",
                static_cast<unsigned long long>(value));
  return text;
}

std::string caret_padding(std::string_view text, std::size_t offset) {
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < offset;) {
    const std::size_t length = shown_length(text, i, true);
    if (length == 0) {
      out.append(escape_width(text, i), ' ');
      ++i;
    } else {
      out += text[i] == '\t' ? '\t' : ' ';
      i += length;
    }
  }
  if (offset > text.size()) out.append(offset - text.size(), ' ');
  return out;
}

std::string caret_marks(std::string_view text, std::size_t begin,
                        std::size_t end) {
  std::string out;
  const auto mark = [&](std::size_t width) {
    for (std::size_t k = 0; k < width; ++k) out += out.empty() ? '^' : '~';
  };
  for (std::size_t i = begin; i < end || out.empty();) {
    if (i >= text.size()) {
      mark(1);
      ++i;
      continue;
    }
    const std::size_t length = shown_length(text, i, true);
    if (length == 0) {
      mark(escape_width(text, i));  // shown as \xNN or \x{NN}
      ++i;
    } else if (text[i] == '\t' && !out.empty()) {
      out += '\t';
      ++i;
    } else {
      mark(1);
      i += length;
    }
  }
  return out;
}

}  // namespace quorlen_tool
