// Sensor bindings: what each kind of rule reports and where, what the
// meta-schema refuses, and that it knows the record's own fields.
#include "binding/binding.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "binding/binding_internal.h"
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
  } rows[] = {
      {"camera: {properties: {i2c_addr: {enum: [0x36, 0x37]}}}",
       "[camera parameter]\nI2C_ADDR = 0x36\nI2C_ADDR = 0x10\n", "Q1001", 3},
      {"camera: {properties: {i2c_addr: {enum: [0x36, 0x37]}}}",
       "[camera parameter]\nI2C_ADDR = 0x37\n", "", 0},
      {"camera: {properties: {width: {maximum: 640}}}",
       "[camera parameter]\nSIZE = 1920, 1080\n", "Q1002", 2},
      {"set: {required: [i2c_addr]}", "; x\n[camera parameter]\nSIZE = 1, 2\n",
       "Q1003", 2},
      {"set: {required: [i2c_addr]}", "", "Q1003", 1},
      {"set: {required: [i2c_addr]}", "[camera parameter]\nI2C_ADDR = 0\n", "",
       0},
      {"entries: {items: {properties: {values: {maxItems: 2}}}}",
       "[register parameter]\nREG = 1, 2\nREG = 1, 2, 3\n", "Q1004", 3},
      {"entries: {items: {if: {properties: {key: {const: REG}}}, then: "
       "{properties: {values: {items: [{}, {maximum: 0xFF}]}}}}}",
       "[register parameter]\nDELAY = 1, 300\nREG = 1, 300\n", "Q1002", 3},
      {"controls: {items: {properties: {step: {const: 1}}}}",
       "[control parameter]\nCTRL_NAME = a\nSTEP = 2\n", "Q1001", 3},
      {"camera: {properties: {type: {pattern: '^qcam'}}}",
       "[camera parameter]\nTYPE = imx\n", "Q1005", 2},
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
      {"select: {}\n  bad: [", "not YAML or JSON"},
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
