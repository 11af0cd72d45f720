// The protocol loop: reads messages, routes each to its handler, answers,
// and publishes diagnostics once the editor pauses.
#include <chrono>
#include <csignal>
#include <exception>
#include <map>
#include <new>
#include <string>

#include "lsp/document.h"
#include "lsp/handlers.h"
#include "lsp/lsp.h"
#include "lsp/protocol.h"

#ifndef QUORLEN_TOOL_VERSION
#define QUORLEN_TOOL_VERSION "unknown"
#endif

namespace quorlen_lsp {
namespace {

// While more input waits, diagnostics wait too (the editor is still
// typing), but never longer than this after the first unpublished change.
constexpr std::chrono::milliseconds MAX_DELAY{50};

constexpr int SYNC_INCREMENTAL = 2;  // TextDocumentSyncKind.Incremental

// The member at the end of a path of objects, or null.
const json* find_path(const json& j, std::initializer_list<const char*> path) {
  const json* at = &j;
  for (const char* key : path) {
    if (!at->is_object()) return nullptr;
    auto it = at->find(key);
    if (it == at->end()) return nullptr;
    at = &*it;
  }
  return at;
}

using document_request = json (*)(document&, const json&, const client_info&);

struct route {
  const char* method;
  document_request handler;
};

const route document_requests[] = {
    {"textDocument/hover", hover},
    {"textDocument/completion", completion},
    {"textDocument/codeAction", code_actions},
    {"textDocument/documentSymbol", document_symbols},
    {"textDocument/foldingRange", folding_ranges},
    {"textDocument/inlayHint", inlay_hints},
    {"textDocument/semanticTokens/full", semantic_tokens},
    {"textDocument/formatting", formatting},
    {"textDocument/codeLens", code_lenses},
};

// The "quorlen-config" settings the user gave; what is not given is kept.
void read_settings(const json& given, settings& out) {
  if (!given.is_object()) return;
  if (const json* hints = find_path(given, {"inlayHints", "enabled"});
      hints != nullptr && hints->is_boolean()) {
    out.inlay_hints = hints->get<bool>();
  }
  if (const json* level = find_path(given, {"severity"});
      level != nullptr && level->is_string()) {
    for (quorlen_tool::level l :
         {quorlen_tool::level::info, quorlen_tool::level::warning,
          quorlen_tool::level::error}) {
      if (*level == quorlen_tool::level_name(l)) out.severity = l;
    }
  }
  if (const json* folder = find_path(given, {"bindings", "folder"});
      folder != nullptr && folder->is_string()) {
    out.bindings = folder->get<std::string>();
  }
  if (const json* outside = find_path(given, {"bindings", "allowOutside"});
      outside != nullptr && outside->is_boolean()) {
    out.bindings_outside = outside->get<bool>();
  }
}

void log(const std::string& what) {
  std::fprintf(stderr, "quorlen-config lsp: %s\n", what.c_str());
}

class server {
 public:
  explicit server(byte_sink& out) : out_(out) {}

  // Handles one message body; false once 'exit' has come.
  bool handle(std::string body) {
    stray_ = mask_stray_bytes(body);
    json message = json::parse(body, nullptr, false);
    body.clear();
    if (message.is_discarded()) {
      fail(nullptr, PARSE_ERROR, "the message is not JSON");
      return true;
    }
    if (!message.is_object()) {
      fail(nullptr, INVALID_REQUEST, "a message is a JSON object");
      return true;
    }
    const auto method = message.find("method");
    const auto id = message.find("id");
    const bool has_id = id != message.end();
    if (has_id && !id->is_string() && !id->is_number_integer()) {
      fail(nullptr, INVALID_REQUEST, "an id is a number or a string");
      return true;
    }
    if (method == message.end() || !method->is_string()) {
      // A response to a request of ours: this server sends none.
      if (message.contains("result") || message.contains("error")) return true;
      fail(has_id ? *id : json(nullptr), INVALID_REQUEST, "no method");
      return true;
    }
    const std::string name = method->get<std::string>();
    json no_params;
    const auto given = message.find("params");
    json& params = given != message.end() ? *given : no_params;
    if (!has_id) return notification(name, params);
    // A request waits for its answer, so the editor has paused: what the
    // changes before it found goes out first.
    publish(true);
    try {
      request(*id, name, params);
    } catch (const json::exception& e) {
      fail(*id, INVALID_PARAMS, e.what());
    } catch (const std::bad_alloc&) {
      fail(*id, INTERNAL_ERROR, "out of memory");
    } catch (const std::exception& e) {
      fail(*id, INTERNAL_ERROR, e.what());
    }
    return true;
  }

  // Publishes the diagnostics still owed: all of them, or only those that
  // have waited too long.
  void publish(bool all) {
    const auto now = std::chrono::steady_clock::now();
    for (auto& [uri, doc] : documents_) {
      if (!doc.unpublished || (!all && now - doc.changed < MAX_DELAY)) {
        continue;
      }
      doc.unpublished = false;
      try {
        choose_bindings(uri, doc);
        notify("textDocument/publishDiagnostics",
               publish_params(uri, doc, client_));
      } catch (const std::exception& e) {
        log(uri + ": no diagnostics: " + e.what());
      }
    }
  }

  int status() const { return shut_down_ ? 0 : 1; }

 private:
  void send(const json& message) {
    write_message(out_,
                  message.dump(-1, ' ', false, json::error_handler_t::replace));
  }
  void notify(const char* method, json params) {
    send({{"jsonrpc", "2.0"},
          {"method", method},
          {"params", std::move(params)}});
  }
  void respond(const json& id, json result) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
  }
  void fail(const json& id, int code, const std::string& why) {
    send({{"jsonrpc", "2.0"},
          {"id", id},
          {"error", {{"code", code}, {"message", why}}}});
  }

  // The bindings of a text about to be linted, chosen as the lint chooses
  // them; one that cannot be read is listed for a diagnostic of its own.
  void choose_bindings(const std::string& uri, document& doc) {
    if (doc.linted) return;
    quorlen_tool::binding_sources sources;
    sources.folder = client_.settings.bindings;
    sources.allow_outside = client_.settings.bindings_outside;
    sources.allow_hint = "the setting bindings.allowOutside applies it";
    doc.bindings = {};
    doc.bindings =
        bindings_.for_file(sources, file_path_of(uri), doc.text, true);
  }

  void request(const json& id, const std::string& method, const json& params) {
    if (method == "initialize") {
      if (initialized_) return fail(id, INVALID_REQUEST, "already initialized");
      initialized_ = true;
      return respond(id, initialize(params));
    }
    if (!initialized_) {
      return fail(id, SERVER_NOT_INITIALIZED, "initialize comes first");
    }
    if (shut_down_) return fail(id, INVALID_REQUEST, "the server is shut down");
    if (method == "shutdown") {
      shut_down_ = true;
      return respond(id, nullptr);
    }
    for (const route& r : document_requests) {
      if (method != r.method) continue;
      const std::string uri =
          params.at("textDocument").at("uri").get<std::string>();
      auto doc = documents_.find(uri);
      // The editor has not opened it: there is nothing to say.
      if (doc == documents_.end()) return respond(id, nullptr);
      choose_bindings(uri, doc->second);
      return respond(id, r.handler(doc->second, params, client_));
    }
    fail(id, METHOD_NOT_FOUND, "no such method: " + method);
  }

  json initialize(const json& params) {
    if (const json* offered =
            find_path(params, {"capabilities", "general", "positionEncodings"});
        offered != nullptr && offered->is_array()) {
      for (const json& e : *offered) {
        if (e == "utf-8") client_.units = encoding::utf8;
      }
    }
    const json* hierarchical =
        find_path(params, {"capabilities", "textDocument", "documentSymbol",
                           "hierarchicalDocumentSymbolSupport"});
    client_.hierarchical_symbols =
        hierarchical != nullptr && *hierarchical == true;
    if (const json* options = find_path(params, {"initializationOptions"})) {
      read_settings(*options, client_.settings);
    }
    json capabilities = {
        {"positionEncoding",
         client_.units == encoding::utf8 ? "utf-8" : "utf-16"},
        {"textDocumentSync",
         {{"openClose", true}, {"change", SYNC_INCREMENTAL}}},
        {"hoverProvider", true},
        {"completionProvider",
         {{"triggerCharacters", {"[", "="}}, {"resolveProvider", false}}},
        {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
        {"documentSymbolProvider", true},
        {"foldingRangeProvider", true},
        {"documentFormattingProvider", true},
        {"inlayHintProvider", true},
        {"codeLensProvider", {{"resolveProvider", false}}}};
    // Only a client that asks gets them: to others they are noise.
    if (find_path(params, {"capabilities", "textDocument", "semanticTokens"}) !=
        nullptr) {
      capabilities["semanticTokensProvider"] = {
          {"legend", semantic_tokens_legend()}, {"full", true}};
    }
    return {{"capabilities", std::move(capabilities)},
            {"serverInfo",
             {{"name", "quorlen-config"}, {"version", QUORLEN_TOOL_VERSION}}}};
  }

  bool notification(const std::string& method, json& params) {
    if (method == "exit") return false;
    if (!initialized_ || shut_down_) return true;
    try {
      if (method == "textDocument/didOpen") {
        open(params.at("textDocument"));
      } else if (method == "textDocument/didChange") {
        change(params);
      } else if (method == "textDocument/didClose") {
        close(params.at("textDocument").at("uri").get<std::string>());
      } else if (method == "workspace/didChangeConfiguration") {
        configure(params);
      }
      // Anything else (initialized, $/cancelRequest, didSave, ...) needs
      // nothing: requests are answered before the next is read.
    } catch (const std::exception& e) {
      log(method + ": " + e.what());
    }
    return true;
  }

  // The text is moved out of the message: it may be 50 MB.
  void open(json& item) {
    document doc;
    doc.text = std::move(item.at("text").get_ref<std::string&>());
    if (stray_) restore_bytes(doc.text);
    doc.version = item.value("version", std::int64_t{0});
    doc.changed = std::chrono::steady_clock::now();
    documents_[item.at("uri").get<std::string>()] = std::move(doc);
  }

  void change(const json& params) {
    const json& item = params.at("textDocument");
    auto doc = documents_.find(item.at("uri").get<std::string>());
    if (doc == documents_.end()) return;  // never opened: nothing to change
    for (const json& c : params.at("contentChanges")) {
      apply_change(doc->second, c, client_.units, stray_);
    }
    if (item.contains("version") && item.at("version").is_number_integer()) {
      doc->second.version = item.at("version").get<std::int64_t>();
    }
  }

  // New settings: the diagnostics go out again under them.
  void configure(const json& params) {
    const json* given = find_path(params, {"settings", "quorlen-config"});
    if (given == nullptr) return;
    const settings before = client_.settings;
    read_settings(*given, client_.settings);
    const bool rebind =
        client_.settings.bindings != before.bindings ||
        client_.settings.bindings_outside != before.bindings_outside;
    if (!rebind && client_.settings.severity == before.severity) return;
    for (auto& [uri, doc] : documents_) {
      doc.unpublished = true;
      if (rebind) doc.linted = false;
    }
  }

  void close(const std::string& uri) {
    if (documents_.erase(uri) == 0) return;
    notify("textDocument/publishDiagnostics",
           {{"uri", uri}, {"diagnostics", json::array()}});
  }

  byte_sink& out_;
  bool initialized_ = false;
  bool shut_down_ = false;
  bool stray_ = false;  // the message in hand had bytes that are not UTF-8
  client_info client_;
  std::map<std::string, document> documents_;
  quorlen_tool::binding_store bindings_;
};

}  // namespace

int run_lsp(byte_source& in, byte_sink& out) {
  server s(out);
  message_reader reader(in);
  std::string body;
  for (;;) {
    s.publish(!reader.waiting());
    switch (reader.next(body)) {
    case message_reader::outcome::end: return s.status();
    case message_reader::outcome::skipped:
      log("a message without a usable Content-Length was passed over");
      break;
    case message_reader::outcome::message:
      try {
        if (!s.handle(std::move(body))) return s.status();
      } catch (const std::exception& e) {
        log(std::string("a message could not be handled: ") + e.what());
      }
      break;
    }
  }
}

int run_lsp(std::FILE* in, std::FILE* out) {
  // A client that goes away must end the session at the input's end, not
  // kill it half-way through an answer.
  std::signal(SIGPIPE, SIG_IGN);
  file_source source(in);
  file_sink sink(out);
  return run_lsp(source, sink);
}

}  // namespace quorlen_lsp
