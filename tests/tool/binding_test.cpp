// Sensor bindings: what each kind of rule reports and where, what the
// meta-schema refuses, and that it knows the record's own fields.
#include "binding/binding.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "binding/binding_internal.h"
#include "binding/entry_check.h"
#include "input/field_range.h"
#include "lint/lint.h"
#include "quorlen_core.h"

namespace quorlen_tool {
namespace {

// A binding's text in a file of its own, loaded.
std::unique_ptr<binding> binding_of(const std::string& text) {
  char path[] = "/tmp/quorlen_binding_XXXXXX";
  const int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  close(fd);
  std::ofstream(path) << text;
  std::unique_ptr<binding> b;
  try {
    b = load_binding(path);
  } catch (...) {
    std::remove(path);
    throw;
  }
  std::remove(path);
  return b;
}

std::vector<finding> lint_with(const binding& b, const std::string& text) {
  camera_setup setup{};
  lint_options options;
  options.keep_entries = false;
  options.bindings = {{&b, true}};
  lint_outcome out = lint_bytes(text, &setup, options);
  quorlen::release_setup(setup);
  std::vector<finding> kept;
  for (finding& f : out.findings) {
    if (f.code.size() == 5) kept.push_back(std::move(f));
  }
  return kept;
}

TEST(binding, each_rule_reports_at_the_line_that_set_it) {
  struct row {
    const char* fragment;  // below properties:
    const char* file;
    const char* code;  // empty: nothing reported
    int line;
    const char* says;  // a part of the message
  } rows[] = {
      {"camera: {properties: {i2c_addr: {enum: [0x36, 0x37]}}}",
       "[camera parameter]\nI2C_ADDR = 0x36\nI2C_ADDR = 0x10\n", "Q1001", 3,
       ""},
      {"camera: {properties: {i2c_addr: {enum: [0x36, 0x37]}}}",
       "[camera parameter]\nI2C_ADDR = 0x37\n", "", 0, ""},
      {"camera: {properties: {width: {maximum: 640}}}",
       "[camera parameter]\nSIZE = 1920, 1080\n", "Q1002", 2, ""},
      {"set: {required: [i2c_addr]}", "; x\n[camera parameter]\nSIZE = 1, 2\n",
       "Q1003", 2, ""},
      {"set: {required: [i2c_addr]}", "", "Q1003", 1, ""},
      {"set: {required: [i2c_addr]}", "[camera parameter]\nI2C_ADDR = 0\n", "",
       0, ""},
      {"entries: {items: {properties: {values: {maxItems: 2}}}}",
       "[register parameter]\nREG = 1, 2\nREG = 1, 2, 3\n", "Q1004", 3, ""},
      {"entries: {items: {if: {properties: {key: {const: REG}}}, then: "
       "{properties: {values: {items: [{}, {maximum: 0xFF}]}}}}}",
       "[register parameter]\nDELAY = 1, 300\nREG = 1, 300\n", "Q1002", 3, ""},
      {"controls: {items: {properties: {step: {const: 1}}}}",
       "[control parameter]\nCTRL_NAME = a\nSTEP = 2\n", "Q1001", 3, ""},
      {"entries: {items: {if: {properties: {key: {const: REG}}}, then: "
       "{properties: {values: {maxItems: 2}}}, else: {properties: {values: "
       "{description: a delay, maxItems: 1}}}}}",
       "[register parameter]\nREG = 1, 2\nDELAY = 1, 2\n", "Q1004", 3,
       "a delay: at most 1"},
      {"entries: {items: {properties: {values: {items: [{}], "
       "additionalItems: {maximum: 0xFF}}}}}",
       "[register parameter]\nREG = 1, 2, 0x100\n", "Q1002", 2,
       "(at most 0xFF)"},
      {"camera: {properties: {type: {pattern: '^qcam'}}}",
       "[camera parameter]\nTYPE = imx\n", "Q1005", 2, ""},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::string(r.fragment) + " | " + r.file);
    const auto b =
        binding_of(std::string("select: {}\nproperties:\n  ") + r.fragment);
    const std::vector<finding> found = lint_with(*b, r.file);
    if (*r.code == '\0') {
      EXPECT_TRUE(found.empty()) << found[0].message;
      continue;
    }
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].code, r.code) << found[0].message;
    EXPECT_EQ(found[0].line, r.line);
    EXPECT_NE(found[0].message.find(r.says), std::string::npos)
        << found[0].message;
  }
}

TEST(binding, a_single_allowed_value_is_a_fix_and_the_level_is_the_bindings) {
  const auto b = binding_of(
      "select: {}\nlevel: error\nproperties: {camera: {properties: "
      "{bit_width: {const: 10}}}}");
  const auto found = lint_with(*b, "[camera parameter]\nBIT_WIDTH = 12\n");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].severity, level::error);
  ASSERT_EQ(found[0].fix.size(), 1u);
  EXPECT_EQ(found[0].fix[0].text, "10");
}

// Definitions d0 to dN-1, each naming the next twice: a check would follow
// 2^N $refs.
std::string doubling_refs(int n) {
  std::string out = "definitions:\n";
  for (int i = 0; i < n; ++i) {
    const std::string next =
        "{$ref: '#/definitions/d" + std::to_string(i + 1) + "'}";
    out +=
        "  d" + std::to_string(i) + ": {allOf: [" + next + ", " + next + "]}\n";
  }
  return out + "  d" + std::to_string(n) + ": {maximum: 5}\n";
}

TEST(binding, the_meta_schema_refuses) {
  struct row {
    std::string text;
    const char* why;  // a part of the message
  } rows[] = {
      {"properties: {}", "not a binding"},
      {"- a\n- b", "not a binding"},
      {"select: {}\nproperties: {camera: {properties: {i2c_adr: {}}}}",
       "'i2c_adr' is no keyword"},
      {"select: {}\nproperties: {camera: {properties: {i2c_addr: "
       "{maximun: 1}}}}",
       "'maximun' is no keyword"},
      {"select: {}\nproperties: {camera: {properties: {bit_width: "
       "{maximum: 300}}}}",
       "bit_width/maximum"},
      {"select: {}\nproperties: {camera: {properties: {i2c_addr: "
       "{enum: [0x10036]}}}}",
       "i2c_addr/enum/0"},
      {"select: {}\nproperties: {entries: {items: {properties: {key: "
       "{const: REGS}}}}}",
       "key/const"},
      {"select: {}\nproperties: {entries: {maxItems: 3, items: {}}}",
       "'maxItems' is no keyword"},
      {"select: {}\nproperties: {camera: {properties: {type: "
       "{pattern: '(a+)+'}}}}",
       "type/pattern"},
      {"select: {}\nproperties: {camera: {properties: {type: "
       "{pattern: \"a[\\0]\"}}}}",
       "NUL byte"},
      {"select: {}\nproperties: {camera: {$ref: 'http://x/y.json'}}", "$ref"},
      {"select: {}\ndefinitions: {a: {$ref: '#/definitions/a'}}\n"
       "properties: {camera: {$ref: '#/definitions/a'}}",
       "leads back to itself"},
      {"select: {}\nproperties: {camera: {$ref: 'missing.yaml'}}",
       "cannot be read"},
      {"select: {}\nproperties: {camera: {unevaluatedProperties: false}}",
       "'unevaluatedProperties' is no keyword"},
      {"a: &a [1, 1, 1, 1, 1, 1, 1, 1, 1, 1]\nb: &b [*a, *a, *a, *a, *a, *a, "
       "*a, *a, *a, *a]\nc: &c [*b, *b, *b, *b, *b, *b, *b, *b, *b, *b]\n"
       "d: &d [*c, *c, *c, *c, *c, *c, *c, *c, *c, *c]\n"
       "e: [*d, *d, *d, *d, *d, *d, *d, *d, *d, *d]\nselect: {}",
       "more than 100000 values"},
      {"select: " + std::string(300, '[') + std::string(300, ']'),
       "nested too deep"},
      {"select: {}\nproperties: {camera: {$ref: '#/definitions/d0'}}\n" +
           doubling_refs(40),
       "each $ref counted"},
      {"select: {}\n  bad: [", "not YAML or JSON"},
      {"select: \"\\q\"", "(unknown escape character)"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.text);
    try {
      binding_of(r.text);
      ADD_FAILURE() << "not refused";
    } catch (const binding_error& e) {
      EXPECT_NE(std::string(e.what()).find(r.why), std::string::npos)
          << e.what();
    }
  }
}

// Every verdict the quick check of entries gives, from a type's plan or
// from walking the schema, is valijson's; and it gives one wherever the
// schema holds only keywords it reads.
TEST(binding, quick_entry_verdicts_are_valijsons) {
  struct row {
    const char* items;        // the schema of every entry
    const char* definitions;  // of the binding, or empty
    bool always;              // a verdict for every entry
  } rows[] = {
      {"{if: {properties: {key: {const: REG}}}, then: {properties: {values: "
       "{minItems: 2, maxItems: 6, items: [{maximum: 0xFFFF}, "
       "{maximum: 0xFF}]}}}}",
       "", true},
      {"{properties: {values: {items: {enum: [0, 1, 0x36]}}}}", "", true},
      {"{properties: {values: {items: [{}, {exclusiveMinimum: 0, "
       "exclusiveMaximum: 0x100}], additionalItems: {minimum: -1}}}}",
       "", true},
      {"{properties: {values: {items: [{}], additionalItems: false}}}", "",
       true},
      {"{properties: {key: {type: string}, section: {type: string}}}", "",
       true},
      {"{anyOf: [{properties: {key: {const: DELAY}}}, {properties: {values: "
       "{maxItems: 2}}}]}",
       "", true},
      {"{oneOf: [{properties: {section: {const: register parameter}}}, "
       "{properties: {key_code: {minimum: 2}}}]}",
       "", true},
      {"{not: {properties: {values: {items: {const: 0}}}}}", "", true},
      {"{$ref: '#/definitions/r'}",
       "{r: {properties: {values: {items: {type: integer, minimum: -1}}}}}",
       true},
      {"{properties: {type: {enum: [0x03000001, 0x03000003]}, values: "
       "{maxItems: 3}}}",
       "", true},
      {"{properties: {values: {minItems: 1}}, if: {properties: {values: "
       "{maxItems: 1}}}, then: {properties: {key: {const: DELAY}}}, else: "
       "{properties: {section_code: {const: 0x03000000}}}}",
       "", true},
      {"{properties: {values: {contains: {const: 0x36}}}}", "", false},
      {"{properties: {values: {uniqueItems: true}}}", "", false},
  };
  const std::uint32_t types[] = {
      QUORLEN_SECTION_REGISTER | QUORLEN_KEY_REG,
      QUORLEN_SECTION_REGISTER | QUORLEN_KEY_DELAY,
      QUORLEN_SECTION_BOARD | QUORLEN_KEY_VRCMD,
      QUORLEN_SECTION_REGISTER_DEV3_INF2 | QUORLEN_KEY_REG,
      QUORLEN_SECTION_REGISTER | 7u,
      0x09000000u | QUORLEN_KEY_REG,
  };
  const std::int32_t pool[] = {
      0, 1, -1, 2, 0x36, 0xFF, 0x100, 0xFFFF, 0x10000, INT32_MIN, INT32_MAX};
  for (const row& r : rows) {
    SCOPED_TRACE(r.items);
    std::string text = "select: {}\nproperties: {entries: {items: ";
    text += std::string(r.items) + "}}\n";
    if (*r.definitions != '\0')
      text += "definitions: " + std::string(r.definitions);
    const auto b = binding_of(text);
    const auto& items = b->schema["properties"]["entries"]["items"];
    entry_program program(items, b->schema);
    std::uint32_t seed = 7;
    int decided = 0;
    for (int n = 0; n < 600; ++n) {
      register_entry e{};
      seed = seed * 1103515245u + 12345u;
      e.entry_type = types[(seed >> 8) % std::size(types)];
      const unsigned count = (seed >> 16) % 8 == 7 ? 16 : (seed >> 16) % 5;
      e.value_count = static_cast<std::uint8_t>(count);
      for (unsigned i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        e.values[i] = pool[(seed >> 8) % std::size(pool)];
      }
      const verdict quick = program.run(e, count);
      EXPECT_EQ(quick, program.walk(e, count));
      if (quick != verdict::unknown) {
        ++decided;
        EXPECT_EQ(quick == verdict::pass, valijson_accepts(*b, e))
            << entry_json(e).dump();
      }
    }
    if (r.always) {
      EXPECT_EQ(decided, 600);
    }
  }
}

// The meta-schema names every camera and control member with the range the
// record holds.
TEST(binding, the_meta_schema_knows_every_field_and_its_width) {
  const auto meta = nlohmann::json::parse(meta_schema_text);
  const auto& defs = meta["definitions"];
  for (const quorlen::field* f = quorlen::fields; f->key != nullptr; ++f) {
    SCOPED_TRACE(f->member);
    const char* kind =
        f->family == quorlen::CAMERA_SECTION ? "camera" : "control";
    const auto& members = defs[kind]["properties"]["properties"]["properties"];
    ASSERT_TRUE(members.contains(f->member));
    if (f->kind == quorlen::field_kind::text) continue;
    const std::string ref = members[f->member]["$ref"];
    const auto& value = defs[ref.substr(14) + "_value"];
    EXPECT_EQ(value["minimum"].get<std::int64_t>(), quorlen::field_min(*f));
    EXPECT_EQ(value["maximum"].get<std::int64_t>(), quorlen::field_max(*f));
  }
}

}  // namespace
}  // namespace quorlen_tool
