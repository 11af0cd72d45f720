#include "generate.h"

#include <cstdint>
#include <cstdio>

namespace quorlen_bench {
namespace {

const char* const sections[] = {
    "[register parameter]",
    "[board parameter]",
    "[register parameter][dev3][inf2]",
    "[board parameter][dev2]",
    "[register parameter||dev3||inf3]",
    "[board parameter][dev3][inf2]",
    "[board parameter][dev3][inf3]",
};

// A small fixed-seed generator, so every run sees the same file.
struct lcg {
  std::uint32_t state = 0x12345678u;
  std::uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

void append_hex(std::string& out, std::uint32_t value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
  out += buffer;
}

void append_register_line(std::string& out, lcg& random) {
  std::uint32_t kind = random.next() % 100;
  if (kind < 80) {
    out += "REG = ";
    append_hex(out, 0x3000 + random.next() % 0x1000, 4);
    out += ", ";
    append_hex(out, random.next() % 0x100, 2);
  } else if (kind < 88) {
    out += "DELAY = " + std::to_string(1 + random.next() % 50);
  } else if (kind < 94) {
    out += "VRCMD = ";
    append_hex(out, random.next() % 0x40, 2);
    out += ", ";
    append_hex(out, random.next() % 0x4000, 4);
    out += ", " + std::to_string(random.next() % 4);
  } else if (kind < 97) {
    out += "REG = ";
    append_hex(out, 0x3000 + random.next() % 0x1000, 4);
    out += ", ";
    append_hex(out, random.next() % 0x100, 2);
    out += ", ";
    append_hex(out, random.next() % 0x100, 2);
    out += ", ";
    append_hex(out, random.next() % 0x100, 2);
    out += "   ; burst write";
  } else {
    out += "REG = ";
    append_hex(out, 0x3000 + random.next() % 0x1000, 4);
    out += ", ";
    append_hex(out, random.next() % 0x100, 2);
    out += "\n    ";
    append_hex(out, random.next() % 0x100, 2);  // a continuation line
  }
  out += "\n";
}

void append_control(std::string& out, int index) {
  out += "\n[control parameter]\nCTRL_NAME = control_" + std::to_string(index) +
         "\nFUNC_NAME = set_control_" + std::to_string(index) +
         "\nMIN_VALUE = 0\nMAX_VALUE = 0xFFFF\nSTEP = 1\nDEF = 0x100\n"
         "======CODE_BLOCK_START======\n"
         "  reg 0x3500 = (value >> 12) & 0x0F\n"
         "  reg 0x3501 = (value >> 4) & 0xFF\n"
         "  reg 0x3502 = (value << 4) & 0xF0\n"
         "======CODE_BLOCK_END======\n\n";
}

}  // namespace

std::string generate_config(std::size_t min_bytes, std::size_t min_lines) {
  std::string out;
  out.reserve(min_bytes + 4096);
  out +=
      "; generated camera configuration\n[camera parameter]\n"
      "CFG_MODE = 1\nTYPE = bench-sensor\nSIZE = 1920, 1080\n"
      "BIT_WIDTH = 10\nFORMAT = 0x2B, 0x01\nI2C_MODE = 1\nI2C_ADDR = 0x36\n"
      "TRANS_LVL = 2\n\n";
  lcg random;
  std::size_t lines = count_lines(out);
  std::size_t section = 0;
  int controls = 0;
  while (out.size() < min_bytes || lines < min_lines) {
    out += sections[section++ % (sizeof sections / sizeof sections[0])];
    out += "\n# table ";
    out += std::to_string(section);
    out += "\n";
    for (int i = 0; i < 200; ++i) append_register_line(out, random);
    out += "// end of table\n\n";
    lines += 204;
    if (section % 50 == 0 && controls < 8) append_control(out, controls++);
  }
  return out;
}

std::size_t count_lines(const std::string& text) {
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n';
  if (!text.empty() && text.back() != '\n') ++lines;
  return lines;
}

}  // namespace quorlen_bench
