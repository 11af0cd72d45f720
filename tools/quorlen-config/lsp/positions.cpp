#include "lsp/positions.h"

#include <algorithm>
#include <cstdint>

#include "input/diagnostics.h"

namespace quorlen_lsp {
namespace {

// The bytes and units of the character at text[i].
struct character {
  std::size_t bytes;
  std::size_t units;
};

character character_at(std::string_view text, std::size_t i, encoding e) {
  std::uint32_t code;
  const std::size_t length = quorlen_tool::utf8_sequence(text, i, &code);
  if (length == 0) return {1, 1};  // a stray byte, shown as one U+FFFD
  if (e == encoding::utf8) return {length, length};
  return {length, code >= 0x10000 ? 2u : 1u};
}

constexpr std::uint32_t STRAY_BASE = 0x10FF00;

}  // namespace

std::size_t units(std::string_view bytes, encoding e) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const character c = character_at(bytes, i, e);
    i += c.bytes;
    count += c.units;
  }
  return count;
}

text_map::text_map(std::string_view text) : text_(text) {
  starts_.push_back(0);
  bool lone_cr = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      starts_.push_back(i + 1);
    } else if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      else
        lone_cr = true;
      starts_.push_back(i + 1);
    }
  }
  if (!lone_cr) return;
  nl_starts_.push_back(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') nl_starts_.push_back(i + 1);
  }
}

std::size_t text_map::line_start(std::size_t line) const {
  return line < starts_.size() ? starts_[line] : text_.size();
}

std::size_t text_map::line_end(std::size_t line) const {
  if (line + 1 >= starts_.size()) return text_.size();
  std::size_t end = starts_[line + 1] - 1;  // the break's last byte
  if (text_[end] == '\n' && end > starts_[line] && text_[end - 1] == '\r') {
    --end;
  }
  return end;
}

std::string_view text_map::line_text(std::size_t line) const {
  const std::size_t start = line_start(line);
  return text_.substr(start, line_end(line) - start);
}

std::size_t text_map::line_of(std::size_t offset) const {
  auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<std::size_t>(after - starts_.begin()) - 1;
}

std::size_t text_map::offset(position p, encoding e) const {
  if (p.line >= starts_.size()) return text_.size();
  const std::string_view text = text_.substr(0, line_end(p.line));
  std::size_t at = starts_[p.line];
  std::size_t count = 0;
  while (at < text.size()) {
    const character c = character_at(text, at, e);
    if (count + c.units > p.character) break;
    count += c.units;
    at += c.bytes;
  }
  return at;
}

position text_map::at(std::size_t offset, encoding e) const {
  offset = std::min(offset, text_.size());
  const std::size_t line = line_of(offset);
  const std::string_view text = text_.substr(0, line_end(line));
  const std::size_t end = std::min(offset, text.size());
  std::size_t at = starts_[line];
  std::size_t count = 0;
  while (at < end) {
    const character c = character_at(text, at, e);
    if (at + c.bytes > end) break;  // inside a character: its start
    count += c.units;
    at += c.bytes;
  }
  return {line, count};
}

std::size_t text_map::lint_offset(int line, int column) const {
  const std::vector<std::size_t>& starts =
      nl_starts_.empty() ? starts_ : nl_starts_;
  if (line < 1 || static_cast<std::size_t>(line) > starts.size()) {
    return text_.size();
  }
  const std::size_t index = static_cast<std::size_t>(line - 1);
  const std::size_t start = starts[index];
  std::size_t end = text_.size();
  if (index + 1 < starts.size()) {
    end = starts[index + 1] - 1;
    if (nl_starts_.empty() && text_[end] == '\n' && end > start &&
        text_[end - 1] == '\r') {
      --end;
    }
  }
  const std::size_t into =
      column > 1 ? static_cast<std::size_t>(column - 1) : 0;
  return start + std::min(into, end - start);
}

bool mask_stray_bytes(std::string& text) {
  std::string masked;
  bool stray = false;
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {  // most of any text
      if (stray) masked += text[i];
      ++i;
      continue;
    }
    std::uint32_t code;
    const std::size_t length = quorlen_tool::utf8_sequence(text, i, &code);
    if (length != 0) {
      if (stray) masked.append(text, i, length);
      i += length;
      continue;
    }
    if (!stray) {
      masked.assign(text, 0, i);
      stray = true;
    }
    const std::uint32_t c = STRAY_BASE + static_cast<unsigned char>(text[i]);
    masked += static_cast<char>(0xF0 | (c >> 18));
    masked += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    masked += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    masked += static_cast<char>(0x80 | (c & 0x3F));
    ++i;
  }
  if (stray) text.swap(masked);
  return stray;
}

void restore_bytes(std::string& text) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = [&](std::size_t k) {
      return static_cast<unsigned char>(text[i + k]);
    };
    // U+10FF80 .. U+10FFFF are F4 8F BE 80 .. F4 8F BF BF.
    if (i + 3 < text.size() && byte(0) == 0xF4 && byte(1) == 0x8F &&
        (byte(2) == 0xBE || byte(2) == 0xBF) && (byte(3) & 0xC0) == 0x80) {
      const std::uint32_t code =
          0x10F000u | ((byte(2) & 0x3Fu) << 6) | (byte(3) & 0x3Fu);
      text[out++] = static_cast<char>(code - STRAY_BASE);
      i += 4;
    } else {
      text[out++] = text[i++];
    }
  }
  text.resize(out);
}

}  // namespace quorlen_lsp
