#include "lint/ci_report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <tuple>

#include "input/diagnostics.h"
#include "lint/lint_report.h"

#ifndef QUORLEN_TOOL_VERSION
#define QUORLEN_TOOL_VERSION "unknown"
#endif

namespace quorlen_tool {

namespace {

constexpr const char* TOOL_NAME = "quorlen-config";
constexpr const char* SARIF_SCHEMA =
    "https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/"
    "sarif-schema-2.1.0.json";
constexpr const char* JUNIT_SUITE = "quorlen-config lint";

std::string with_suggestion(const finding& f) {
  return f.suggestion.empty() ? f.message : f.message + "; " + f.suggestion;
}

std::size_t index_of(const finding& f) {
  const rule* r = find_rule(f.code);
  return r != nullptr ? static_cast<std::size_t>(r->id) : 0;
}

// SARIF's levels; info is its note.
const char* sarif_level(level l) {
  switch (l) {
  case level::error: return "error";
  case level::warning: return "warning";
  case level::info: return "note";
  }
  return "warning";
}

// GitHub's workflow commands.
const char* github_command(level l) {
  switch (l) {
  case level::error: return "error";
  case level::warning: return "warning";
  case level::info: return "notice";
  }
  return "warning";
}

// GitLab's severities, of info, minor, major, critical and blocker.
const char* gitlab_severity(level l) {
  switch (l) {
  case level::error: return "major";
  case level::warning: return "minor";
  case level::info: return "info";
  }
  return "minor";
}

// A path as a relative URI reference: every byte but the unreserved ones
// and '/' as %XX.
std::string uri_of(const std::string& path) {
  std::string out;
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
        (b >= '0' && b <= '9') || c == '-' || c == '.' || c == '_' ||
        c == '~' || c == '/') {
      out += c;
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", b);
      out += hex;
    }
  }
  return out;
}

// What GitHub reads a workflow command's message and properties by: '%',
// CR and LF as %25, %0D and %0A, and in a property ':' and ',' as %3A and
// %2C, so that neither ends it.
std::string github_escaped(std::string_view text, bool property) {
  std::string out;
  for (const char c : text) {
    switch (c) {
    case '%': out += "%25"; break;
    case '\r': out += "%0D"; break;
    case '\n': out += "%0A"; break;
    case ':': out += property ? "%3A" : ":"; break;
    case ',': out += property ? "%2C" : ","; break;
    default: out += c;
    }
  }
  return out;
}

// Text for XML: control characters escaped as the tool shows them (XML
// cannot carry most of them, not even as references), U+FFFE and U+FFFF,
// which it cannot carry either, as \xNN bytes, and the markup characters
// as entities.
std::string xml_text(std::string_view text) {
  const std::string shown = escape_controls(text);
  std::string out;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const char c = shown[i];
    if (c == '\xEF' && i + 2 < shown.size() && shown[i + 1] == '\xBF' &&
        (shown[i + 2] == '\xBE' || shown[i + 2] == '\xBF')) {
      out += shown[i + 2] == '\xBE' ? "\\xef\\xbf\\xbe" : "\\xef\\xbf\\xbf";
      i += 2;
      continue;
    }
    switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    case '\'': out += "&apos;"; break;
    default: out += c;
    }
  }
  return out;
}

// The column of a 1-based byte column of a line in code points, as SARIF
// counts them, a byte that is not UTF-8 as one, and so the line end.
int code_point_column(const source_map& map, int line, int byte_column) {
  const std::string_view text = map.line_text(line);
  const auto offset = static_cast<std::size_t>(byte_column - 1);
  int column = 1;
  std::size_t i = 0;
  for (; i < offset && i < text.size(); ++column) {
    std::uint32_t code;
    const std::size_t n = utf8_sequence(text, i, &code);
    i += n > 0 ? n : 1;
  }
  return column + static_cast<int>(offset > i ? offset - i : 0);
}

void sarif_region(json_writer& out, const source_map& map, int line, int column,
                  int end_line, int end_column) {
  out.key("startLine").value(line);
  out.key("startColumn").value(code_point_column(map, line, column));
  out.key("endLine").value(end_line);
  out.key("endColumn").value(code_point_column(map, end_line, end_column));
}

void sarif_location(json_writer& out, const std::string& uri) {
  out.key("artifactLocation").begin_object().key("uri").value(uri);
  out.end_object();
}

// Where a finding's span ends: at least one column after it starts.
int end_column_of(const finding& f) {
  return f.end_line == f.line && f.end_column > f.column ? f.end_column
                                                         : f.column + 1;
}

void sarif_result(json_writer& out, const std::string& uri,
                  const source_map& map, const finding& f) {
  out.begin_object();
  out.key("ruleId").value(f.code);
  out.key("ruleIndex").value(static_cast<std::uint64_t>(index_of(f)));
  out.key("level").value(sarif_level(f.severity));
  out.key("message").begin_object().key("text").value(with_suggestion(f));
  out.end_object();
  out.key("locations").begin_array().begin_object();
  out.key("physicalLocation").begin_object();
  sarif_location(out, uri);
  out.key("region").begin_object();
  sarif_region(out, map, f.line, f.column, f.line, end_column_of(f));
  out.end_object().end_object().end_object().end_array();
  if (!f.fix.empty()) {
    out.key("fixes").begin_array().begin_object();
    out.key("artifactChanges").begin_array().begin_object();
    sarif_location(out, uri);
    out.key("replacements").begin_array();
    for (const edit& e : f.fix) {
      out.begin_object().key("deletedRegion").begin_object();
      const auto [line, column] = place_of(map, e.begin);
      const auto [end_line, end_column] = place_of(map, e.end);
      sarif_region(out, map, line, column, end_line, end_column);
      out.end_object();
      out.key("insertedContent").begin_object().key("text").value(e.text);
      out.end_object().end_object();
    }
    out.end_array().end_object().end_array().end_object().end_array();
  }
  out.end_object();
}

void sarif_rules(json_writer& out) {
  out.key("rules").begin_array();
  for (const rule& r : lint_rules) {
    out.begin_object();
    out.key("id").value(r.code);
    out.key("shortDescription").begin_object().key("text").value(r.summary);
    out.end_object();
    out.key("fullDescription").begin_object();
    out.key("text").value(text_of(r.id).meaning);
    out.end_object();
    out.key("help").begin_object().key("text").value(explain_text(r));
    out.end_object();
    out.key("defaultConfiguration").begin_object();
    out.key("level").value(sarif_level(r.severity));
    out.end_object();
    out.end_object();
  }
  out.end_array();
}

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash) {
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

}  // namespace

bool shows_fixes(report_form form) {
  return form == report_form::json || form == report_form::sarif;
}

std::string finding_fingerprint(const std::string& name, const finding& f,
                                std::string_view line_text, int occurrence) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const std::string& part :
       {name, f.code, std::string(line_text), std::to_string(f.column),
        std::to_string(occurrence)}) {
    // Each part ends in a NUL, so that no two lists of parts run together.
    hash = fnv1a(std::string_view(part.c_str(), part.size() + 1), hash);
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx",
                static_cast<unsigned long long>(hash));
  return hex;
}

lint_report::lint_report(report_form form, bool color)
    : form_(form), color_(color) {
  switch (form_) {
  case report_form::json:
    json_.begin_object().key("findings").begin_array();
    break;
  case report_form::sarif:
    json_.begin_object();
    json_.key("$schema").value(SARIF_SCHEMA);
    json_.key("version").value("2.1.0");
    json_.key("runs").begin_array().begin_object();
    json_.key("tool").begin_object().key("driver").begin_object();
    json_.key("name").value(TOOL_NAME);
    json_.key("version").value(QUORLEN_TOOL_VERSION);
    sarif_rules(json_);
    json_.end_object().end_object();
    json_.key("columnKind").value("unicodeCodePoints");
    json_.key("results").begin_array();
    break;
  case report_form::gitlab: json_.begin_array(); break;
  default: break;
  }
}

void lint_report::add(const std::string& name, const source_map& map,
                      const std::vector<finding>& found) {
  ++files_;
  failures_ += found.size();
  for (const finding& f : found) ++counts_[index_of(f)];
  const std::string shown = escape_text(name);
  switch (form_) {
  case report_form::gcc:
    text_ += gcc_report(shown, map, found, color_, &noted_);
    break;
  case report_form::json: json_report(json_, name, map, found); break;
  case report_form::sarif: {
    const std::string uri = uri_of(name);
    for (const finding& f : found) sarif_result(json_, uri, map, f);
    break;
  }
  case report_form::github:
    for (const finding& f : found) {
      const int end = end_column_of(f);
      text_ += std::string("::") + github_command(f.severity) +
               " file=" + github_escaped(shown, true) +
               ",line=" + std::to_string(f.line) +
               ",col=" + std::to_string(f.column) +
               ",endColumn=" + std::to_string(end) +
               ",title=" + github_escaped(f.code, true) +
               "::" + github_escaped(with_suggestion(f), false) + "\n";
    }
    break;
  case report_form::gitlab: {
    std::map<std::tuple<std::string, std::string_view, int>, int> seen;
    for (const finding& f : found) {
      const std::string_view line = map.line_text(f.line);
      const int occurrence = seen[{f.code, line, f.column}]++;
      json_.begin_object();
      json_.key("description").value(with_suggestion(f));
      json_.key("check_name").value(f.code);
      json_.key("fingerprint")
          .value(finding_fingerprint(name, f, line, occurrence));
      json_.key("severity").value(gitlab_severity(f.severity));
      json_.key("location").begin_object();
      json_.key("path").value(name);
      json_.key("lines").begin_object().key("begin").value(f.line);
      json_.end_object().end_object();
      json_.end_object();
    }
    break;
  }
  case report_form::junit:
    text_ += "    <testcase classname=\"" + xml_text(JUNIT_SUITE) +
             "\" name=\"" + xml_text(shown) + "\"";
    if (found.empty()) {
      text_ += "/>\n";
      break;
    }
    text_ += ">\n";
    for (const finding& f : found) {
      text_ += "      <failure type=\"" + xml_text(f.code) + "\" message=\"" +
               xml_text(std::to_string(f.line) + ":" +
                        std::to_string(f.column) + ": " + with_suggestion(f)) +
               "\">" + xml_text(gcc_report(shown, map, {f}, false)) +
               "</failure>\n";
    }
    text_ += "    </testcase>\n";
    break;
  }
}

std::string lint_report::finish() {
  switch (form_) {
  case report_form::json: json_.end_array().end_object(); break;
  case report_form::sarif:
    json_.end_array().end_object().end_array().end_object();
    break;
  case report_form::gitlab: json_.end_array(); break;
  case report_form::junit: {
    const std::string counts = " tests=\"" + std::to_string(files_) +
                               "\" failures=\"" + std::to_string(failures_) +
                               "\" errors=\"0\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" +
           std::string(JUNIT_SUITE) + "\"" + counts +
           ">\n  <testsuite name=\"" + JUNIT_SUITE + "\"" + counts + ">\n" +
           text_ + "  </testsuite>\n</testsuites>\n";
  }
  default: return std::move(text_);
  }
  json_.finish();
  return std::move(text_);
}

std::string lint_report::statistics() const {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    if (counts_[i] > 0) order.push_back(i);
  }
  std::stable_sort(
      order.begin(), order.end(),
      [&](std::size_t a, std::size_t b) { return counts_[a] > counts_[b]; });
  std::string out;
  for (const std::size_t i : order) {
    char count[24];
    std::snprintf(count, sizeof count, "%6zu  ", counts_[i]);
    out += count + std::string(lint_rules[i].code) + "  " +
           lint_rules[i].summary + "\n";
  }
  return out;
}

}  // namespace quorlen_tool
