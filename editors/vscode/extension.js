// The client: starts `quorlen-config lsp` for camera configurations, with
// an output channel, a status-bar item and a restart command.  A server
// that cannot start or keeps crashing shows one message, with Restart, and
// is not started again behind the user's back.
"use strict";
const fs = require("fs");
const path = require("path");
const vscode = require("vscode");
const { LanguageClient, CloseAction, ErrorAction, State } = require("vscode-languageclient/node");

const LANGUAGE = "quorlencfg";
const SECTION = "quorlen-config";
let client;
let output;
let status;
// Set once a failure has been shown, until the next start: a server that
// fails to start may also report its close, and the user hears of it once.
let told = false;

// The program: the setting, else PATH as the extension host sees it, else
// where the Debian package puts it.
function serverPath() {
  const configured = vscode.workspace.getConfiguration(SECTION).get("server.path");
  if (configured) return configured;
  for (const dir of (process.env.PATH || "").split(path.delimiter)) {
    const candidate = path.join(dir, "quorlen-config");
    try {
      fs.accessSync(candidate, fs.constants.X_OK);
      return candidate;
    } catch (e) { /* not here */ }
  }
  return "/usr/bin/quorlen-config";
}

function settings() {
  const c = vscode.workspace.getConfiguration(SECTION);
  return {
    severity: c.get("severity"),
    inlayHints: { enabled: c.get("inlayHints.enabled") },
    bindings: { folder: c.get("bindings.folder"), allowOutside: c.get("bindings.allowOutside") },
  };
}

function show(text, tooltip) {
  status.text = text;
  status.tooltip = tooltip;
  status.show();
}

function failed(why) {
  show("$(error) quorlen-config", why);
  output.appendLine(why);
  if (told) return;
  told = true;
  vscode.window
    .showErrorMessage(`quorlen-config: ${why}`, "Restart", "Show Output")
    .then((choice) => {
      if (choice === "Restart") vscode.commands.executeCommand("quorlen-config.restartServer");
      if (choice === "Show Output") output.show();
    });
}

async function start() {
  told = false;
  const command = serverPath();
  if (!fs.existsSync(command)) {
    output.appendLine(`no program at ${command}`);
    failed(`no language server at ${command}: install the quorlen-config package or set quorlen-config.server.path`);
    return;
  }
  let crashes = 0;
  client = new LanguageClient(SECTION, "quorlen-config", { command, args: ["lsp"] }, {
    documentSelector: [{ language: LANGUAGE }],
    outputChannel: output,
    initializationOptions: settings(),
    synchronize: { configurationSection: SECTION },
    errorHandler: {
      error: () => ({ action: ErrorAction.Continue }),
      // Restarted once; a second crash is the user's to restart.
      closed: () => {
        crashes += 1;
        if (crashes > 1) {
          failed("the language server stopped twice");
          return { action: CloseAction.DoNotRestart, handled: true };
        }
        return { action: CloseAction.Restart, handled: true };
      },
    },
  });
  client.onDidChangeState((e) => {
    if (e.newState === State.Running) show("$(check) quorlen-config", `${command} lsp`);
    if (e.newState === State.Starting) show("$(sync~spin) quorlen-config", "starting");
  });
  try {
    await client.start();
  } catch (e) {
    output.appendLine(String(e));
    failed(`the language server did not start: ${e.message || e}`);
  }
}

async function restart() {
  if (client) {
    const old = client;
    client = undefined;
    try { await old.stop(); } catch (e) { output.appendLine(String(e)); }
  }
  await start();
}

async function activate(context) {
  output = vscode.window.createOutputChannel("quorlen-config");
  status = vscode.window.createStatusBarItem(vscode.StatusBarAlignment.Right, 0);
  status.command = "quorlen-config.restartServer";
  context.subscriptions.push(output, status,
    vscode.commands.registerCommand("quorlen-config.restartServer", restart),
    vscode.commands.registerCommand("quorlen-config.useForFile", async () => {
      const editor = vscode.window.activeTextEditor;
      if (editor) await vscode.languages.setTextDocumentLanguage(editor.document, LANGUAGE);
    }),
    vscode.workspace.onDidChangeConfiguration((e) => {
      if (e.affectsConfiguration(`${SECTION}.server.path`)) restart();
    }));
  await start();
}

async function deactivate() {
  if (client) await client.stop();
}

module.exports = { activate, deactivate };
