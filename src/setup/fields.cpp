#include "fields.h"

#include <cstring>

#include "setup_internal.h"

namespace quorlen {

// One row a member; the member's name is written once, here.
#define QUORLEN_FIELD(key, record, family, member, kind, summary, hex)      \
  {                                                                         \
    key, family, #member, offsetof(record, member), sizeof(record::member), \
        field_kind::kind, summary, hex                                      \
  }
#define CAMERA(key, member, kind, summary) \
  QUORLEN_FIELD(key, camera_setup, CAMERA_SECTION, member, kind, summary, false)
#define CAMERA_HEX(key, member, kind, summary) \
  QUORLEN_FIELD(key, camera_setup, CAMERA_SECTION, member, kind, summary, true)
#define CONTROL(key, member, kind, summary)                                 \
  QUORLEN_FIELD(key, control_entry, CONTROL_SECTION, member, kind, summary, \
                false)

const field fields[] = {
    CAMERA("CFG_MODE", cfg_mode, int32, "configuration mode"),
    CAMERA("TYPE", type, text, "sensor type text, at most 49 characters"),
    CAMERA("SIZE", width, pair_first, "image width and height: two values"),
    CAMERA("SIZE", height, pair_second, "image height: SIZE's second value"),
    CAMERA("BIT_WIDTH", bit_width, low8, "bits a pixel, low 8 bits kept"),
    CAMERA_HEX("FORMAT", format, byte_pair,
               "format code: a, b gives (a << 8) | b, low 16 bits kept"),
    CAMERA("I2C_MODE", i2c_mode, low8, "I2C mode, low 8 bits kept"),
    CAMERA_HEX("I2C_ADDR", i2c_addr, low16, "I2C address, low 16 bits kept"),
    CAMERA("TRANS_LVL", trans_lvl, int32, "transfer level"),
    CONTROL("MIN_VALUE", min_value, int64, "lowest value, 64-bit"),
    CONTROL("MAX_VALUE", max_value, int64, "highest value, 64-bit"),
    CONTROL("STEP", step, low32_of_64, "step between values, low 32 bits"),
    CONTROL("DEF", def, int64, "default value, 64-bit"),
    CONTROL("CTRL_NAME", ctrl_name, text,
            "the control's name, at most 127 characters"),
    CONTROL("FUNC_NAME", func_name, text,
            "the function that applies it, at most 127 characters"),
    {nullptr, 0, nullptr, 0, 0, field_kind::int32, nullptr, false},
};

#undef CONTROL
#undef CAMERA_HEX
#undef CAMERA
#undef QUORLEN_FIELD

namespace {

// With whole_words, the first four bytes of a key are compared as one word,
// which a key of three or four letters settles alone; the key must then have
// four bytes readable, as every name the engine delivers has.
template <bool whole_words>
const field* find_row(std::uint32_t family, const char* key,
                      const field* last) {
  const field* const from =
      last != nullptr && last[1].key != nullptr ? last + 1 : fields;
  const std::uint32_t head = whole_words ? word_at(key) : 0;
  const field* f = from;
  do {
    // Equal words hold a terminator at the same place or none.
    const bool same =
        whole_words ? word_at(f->key) == head && f->family == family &&
                          (f->key[3] == '\0' || same_name(f->key + 4, key + 4))
                    : f->key[0] == key[0] && f->family == family &&
                          same_name(f->key, key);
    if (same) {
      // A pair's second row, met first after the pair's key, is the pair.
      return f->kind == field_kind::pair_second ? f - 1 : f;
    }
    if ((++f)->key == nullptr) f = fields;
  } while (f != from);
  return nullptr;
}

}  // namespace

const field* find_field(std::uint32_t family, const char* key,
                        const field* last) {
  return find_row<false>(family, key, last);
}

const field* find_delivered_field(std::uint32_t family, const char* key,
                                  const field* last) {
  return find_row<true>(family, key, last);
}

namespace {

template <class T>
void put(void* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

template <class T>
T get(const void* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// Numbers are narrowed through their unsigned type: the low bits are kept.
void set_number(void* at, const field& f, std::int64_t value) {
  const auto bits = static_cast<std::uint64_t>(value);
  switch (f.size) {
  case 1: put(at, static_cast<std::uint8_t>(bits)); break;
  case 2: put(at, static_cast<std::uint16_t>(bits)); break;
  case 4:
    put(at, static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
    break;
  default: put(at, value); break;
  }
}

}  // namespace

void store_field(void* record, const field& f, const char* value,
                 space_class is_space) {
  void* at = member_of(record, f);
  switch (f.kind) {
  case field_kind::int32:
  case field_kind::low8:
  case field_kind::low16:
    set_number(at, f, parse_int32(value, is_space));
    break;
  case field_kind::int64:
  case field_kind::low32_of_64:
    set_number(at, f, parse_int64(value, is_space));
    break;
  case field_kind::text: {
    auto* text = static_cast<char*>(at);
    std::strncpy(text, value, f.size - 1);
    text[f.size - 1] = '\0';
    break;
  }
  case field_kind::pair_first:
  case field_kind::byte_pair: {
    // Pieces past the places a list has are dropped, so such a list never
    // has the count that changes anything.
    register_entry list;
    parse_value_list(&list, value, is_space);
    const unsigned count = list.value_count;
    if (f.kind == field_kind::pair_first && count == 2) {
      set_number(at, f, list.values[0]);
      set_number(member_of(record, (&f)[1]), (&f)[1], list.values[1]);
    } else if (f.kind == field_kind::byte_pair && (count == 1 || count == 2)) {
      std::uint32_t merged = static_cast<std::uint32_t>(list.values[0]) << 8;
      if (count == 2) merged |= static_cast<std::uint32_t>(list.values[1]);
      set_number(at, f, merged);
    }
    break;
  }
  case field_kind::pair_second: break;
  }
}

std::int64_t field_number(const void* record, const field& f) {
  const void* at = member_of(record, f);
  switch (f.size) {
  case 1: return get<std::uint8_t>(at);
  case 2: return get<std::uint16_t>(at);
  case 4: return get<std::int32_t>(at);
  default: return get<std::int64_t>(at);
  }
}

void set_field_number(void* record, const field& f, std::int64_t value) {
  set_number(member_of(record, f), f, value);
}

}  // namespace quorlen
