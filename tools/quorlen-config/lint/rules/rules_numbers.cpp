// Numbers and lists of them: what the conversions pass over, clamp or cut,
// and lists of a count their key does not take.
#include <cstdio>
#include <cstring>

#include "input/diagnostics.h"
#include "input/number_reading.h"
#include "lint/lint_context.h"

namespace quorlen_tool {

namespace {

using quorlen::field_kind;
using quorlen::number_reading;

// What a number is stored in.
enum class width { s32, s64, u8, u16, step };

width width_of(field_kind kind) {
  switch (kind) {
  case field_kind::low8: return width::u8;
  case field_kind::low16: return width::u16;
  case field_kind::int64: return width::s64;
  case field_kind::low32_of_64: return width::step;
  default: return width::s32;
  }
}

std::string_view between(const char* from, const char* to) {
  return {from, static_cast<std::size_t>(to - from)};
}

class numbers final : public rule_family {
 public:
  void pair(lint_context& ctx, const pair_event& ev) override {
    if (!ev.known) return;
    if (ev.row == nullptr) return register_list(ctx, ev);
    if (ev.fills == nullptr || ev.row->kind == field_kind::text) return;
    if (ev.row->kind == field_kind::pair_first ||
        ev.row->kind == field_kind::byte_pair) {
      return camera_list(ctx, ev);
    }
    const number_reading r = quorlen::read_number(ev.value);
    if (number_text(ctx, ev.name, r, ev.value,
                    ev.value + std::strlen(ev.value))) {
      number_range(ctx, ev.name, r, width_of(ev.row->kind),
                   quorlen::field_number(ev.fills, *ev.row));
    }
  }

 private:
  // Text, missing digits and sign findings for one number; false when the
  // number is not worth a range check.
  bool number_text(lint_context& ctx, const std::string& subject,
                   const number_reading& r, const char* piece,
                   const char* piece_end) {
    if (!r.has_digits) {
      std::string_view text = between(r.begin, piece_end);
      while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
      ctx.add(rule_id::no_number,
              text.empty() ? ctx.span_at(piece, 1)
                           : ctx.span_at(r.begin, text.size()),
              text.empty() ? subject + " has no number; it is read as 0"
                           : in_quotes(text) + " is no number; " + subject +
                                 " reads it as 0");
      return false;
    }
    if (r.sign_before_hex) {
      ctx.add(rule_id::sign_before_hex, ctx.span_to(r.begin, piece_end),
              subject + " " + in_quotes(between(r.begin, piece_end)) +
                  " has a sign before '0x', so it is read as decimal; the "
                  "record holds 0");
      return false;
    }
    const char* rest = r.end;
    while (rest < piece_end && is_blank(*rest)) ++rest;
    // A continuation line keeps its comment, but a comment after the number
    // is ignored with the rest, as its author meant.
    const bool comment = ctx.facts.kind == quorlen::line_kind::continuation &&
                         rest > r.end &&
                         (*rest == ';' || (rest[0] == '/' && rest[1] == '/'));
    if (comment && kept_comment_ == nullptr) kept_comment_ = rest;
    if (rest < piece_end && !comment) {
      const char* last = piece_end;
      while (last > r.end && is_blank(last[-1])) --last;
      ctx.add(rule_id::text_after_number, ctx.span_to(r.end, last),
              "text after the number is ignored: " + subject + " " +
                  in_quotes(between(r.begin, piece_end)) + " is read as " +
                  escape_text(between(r.begin, r.end)));
    }
    return true;
  }

  static void number_range(lint_context& ctx, const std::string& subject,
                           const number_reading& r, width kind,
                           std::int64_t stored) {
    const std::string written = escape_text(between(r.begin, r.end));
    const std::string holds = "; the record holds " + std::to_string(stored);
    const span where = ctx.span_to(r.begin, r.end);
    const bool beyond32 =
        r.saturated || r.value > INT32_MAX || r.value < INT32_MIN;
    const auto beyond = [&](const char* bits) {
      ctx.add(rule_id::beyond_range, where,
              subject + " " + written + " is beyond the " + bits +
                  "-bit range" + holds);
    };
    const auto cut = [&](const char* bits) {
      ctx.add(rule_id::cut_to_field, where,
              subject + " " + written + " does not fit in " + bits + " bits" +
                  holds);
    };
    switch (kind) {
    case width::s32:
      if (beyond32) beyond("32");
      break;
    case width::s64:
      if (r.saturated) beyond("64");
      break;
    case width::step:
      if (r.saturated) {
        beyond("64");
      } else if (beyond32) {
        cut("32");
      }
      break;
    case width::u8:
    case width::u16: {
      const std::int64_t top = kind == width::u8 ? 0xFF : 0xFFFF;
      if (beyond32 || r.value < 0 || r.value > top) {
        cut(kind == width::u8 ? "8" : "16");
      }
      break;
    }
    }
  }

  struct read_piece {
    number_reading r;
    const char* start;
    const char* end;
  };

  // The pieces of a list as the conversions read them.
  static std::vector<read_piece> pieces_of(const char* value) {
    std::vector<read_piece> pieces;
    quorlen::scan::for_each_piece(value, [&](const char* p, unsigned) {
      const number_reading r = quorlen::read_number(p);
      pieces.push_back({r, p, quorlen::scan::end_of_piece(p)});
      return r.end;
    });
    return pieces;
  }

  // "SIZE" and "FORMAT".
  void camera_list(lint_context& ctx, const pair_event& ev) {
    const quorlen::field& f = *ev.row;
    const bool size = f.kind == field_kind::pair_first;
    const std::int64_t first = quorlen::field_number(ev.fills, f);
    const std::int64_t second =
        size ? quorlen::field_number(ev.fills, (&f)[1]) : 0;
    const std::vector<read_piece> pieces = pieces_of(ev.value);
    const span value = ctx.span_at(ev.value, std::strlen(ev.value));
    if (!ev.changes) {
      const std::string holds = size ? "width " + std::to_string(first) +
                                           " and height " +
                                           std::to_string(second)
                                     : "format " + hex4(first);
      ctx.add(size ? rule_id::size_count : rule_id::format_count, value,
              std::string(ev.name) +
                  (size ? " needs exactly two values"
                        : " takes one or two values") +
                  " but has " + std::to_string(pieces.size()) +
                  "; the line changes nothing and the record keeps " + holds);
      return;
    }
    bool wide = false;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const read_piece& p = pieces[i];
      if (!number_text(ctx, ev.name, p.r, p.start, p.end)) continue;
      if (size) {
        number_range(ctx, ev.name, p.r, width::s32, i == 0 ? first : second);
      } else if (p.r.saturated || p.r.value < 0 || p.r.value > 0xFF) {
        wide = true;
      }
    }
    if (wide) {
      ctx.add(rule_id::cut_to_field,
              {ctx.at(pieces[0].r.begin), value.end_column},
              std::string(ev.name) +
                  " values do not fit in 8 bits each; the record holds " +
                  hex4(first));
    }
  }

  static std::string hex4(std::int64_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(v));
    return text;
  }

  // A board or register line: each value, a comment a continuation keeps,
  // and values past the sixteenth.
  void register_list(lint_context& ctx, const pair_event& ev) {
    const register_entry& entry = ctx.entry;
    kept_comment_ = nullptr;
    bool told = false;
    const std::vector<read_piece> pieces = pieces_of(ev.value);
    for (std::size_t index = 0;
         index < pieces.size() && index < QUORLEN_MAX_VALUES; ++index) {
      const read_piece& p = pieces[index];
      if (kept_comment_ != nullptr && p.start > kept_comment_) {
        // The comment a continuation line keeps goes on past a ','.
        if (!told) {
          ctx.add(rule_id::continuation_comment,
                  ctx.span_to(kept_comment_, ev.value + std::strlen(ev.value)),
                  "a continuation line keeps its comment, and a ',' in it "
                  "starts more values: " +
                      std::string(ev.name) + " holds " +
                      std::to_string(entry.value_count) + " values");
          told = true;
        }
        continue;
      }
      if (number_text(ctx, ev.name, p.r, p.start, p.end)) {
        number_range(ctx, ev.name, p.r, width::s32, entry.values[index]);
      }
    }
    if (pieces.size() > QUORLEN_MAX_VALUES) {
      const char* seventeenth = pieces[QUORLEN_MAX_VALUES].start;
      ctx.add(rule_id::too_many_values,
              ctx.span_to(seventeenth, ev.value + std::strlen(ev.value)),
              std::string(ev.name) + " has " + std::to_string(pieces.size()) +
                  " values; the record keeps the first 16 and drops " +
                  std::to_string(pieces.size() - QUORLEN_MAX_VALUES));
    }
  }

  const char* kept_comment_ = nullptr;  // a continuation line's comment
};

}  // namespace

std::unique_ptr<rule_family> number_rules() {
  return std::make_unique<numbers>();
}

}  // namespace quorlen_tool
