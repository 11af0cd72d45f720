// explain: what a lint code means, why it matters for the camera, a file
// that brings it and the same file mended, from the rule registry.
#include "commands/tool.h"
#include "input/diagnostics.h"
#include "lint/lint_context.h"
#include "lint/rules.h"
#include "record/json_writer.h"

namespace quorlen_tool {

namespace {

struct explain_options {
  std::string code;
  bool all = false;
  std::string format = "text";
};

void json_rule(json_writer& out, const rule& r) {
  const rule_text& e = text_of(r.id);
  out.begin_object();
  out.key("code").value(r.code);
  out.key("level").value(level_name(r.severity));
  out.key("summary").value(r.summary);
  out.key("meaning").value(e.meaning);
  out.key("matters").value(e.matters);
  for (const auto& [name, text] :
       {std::pair("example", e.example), std::pair("corrected", e.corrected)}) {
    out.key(name);
    if (text.empty()) {
      out.null();
    } else {
      out.value(text);
    }
  }
  out.key("fix").value(r.fixes);
  out.key("silence").value(silence_text(r));
  out.end_object();
}

int run_explain(const explain_options& options) {
  if (options.all == !options.code.empty()) {
    std::fprintf(stderr, "quorlen-config: explain takes a CODE or --all\n");
    return EXIT_TROUBLE;
  }
  std::vector<const rule*> chosen;
  if (options.all) {
    for (const rule& r : lint_rules) chosen.push_back(&r);
  } else if (const rule* r = find_rule(options.code)) {
    chosen.push_back(r);
  } else {
    std::vector<const char*> codes;
    for (const rule& known : lint_rules) codes.push_back(known.code);
    const char* near = nearest(codes, options.code, upper);
    return trouble(
        options.code,
        "no such lint code" +
            (near != nullptr ? "; did you mean " + std::string(near) + "?"
                             : std::string()) +
            " ('quorlen-config explain --all' lists them)");
  }
  std::string text;
  if (options.format == "json") {
    json_writer out(text);
    if (options.all) out.begin_object().key("rules").begin_array();
    for (const rule* r : chosen) json_rule(out, *r);
    if (options.all) out.end_array().end_object();
    out.finish();
  } else {
    for (const rule* r : chosen) {
      if (!text.empty()) text += "\n";
      text += explain_text(*r);
    }
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return written(EXIT_CLEAN);
}

}  // namespace

runner declare_explain(CLI::App& app) {
  auto options = std::make_shared<explain_options>();
  app.add_option("CODE", options->code, "A lint code, such as Q201");
  app.add_flag("--all", options->all, "Explain every code, in code order");
  app.add_option("--format", options->format,
                 "text: for people; json: one object, or with --all one "
                 "document {\"rules\": [...]}")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  app.footer(
      "For each code: what it means, why it matters for the camera, a file "
      "that brings it and the same file corrected (control bytes in them "
      "escaped; json has them as they are), whether lint --fix mends it, and "
      "how to silence it.\nExit status: 0 explained, 2 no such code or the "
      "usage is wrong.");
  return [options] { return run_explain(*options); };
}

}  // namespace quorlen_tool
