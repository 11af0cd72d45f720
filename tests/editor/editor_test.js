// Drives code-server (already started, at the URL given) through headless
// Chromium, with the packaged extension installed, on camera/mistakes.cfg of
// the workspace folder given; writes a screenshot.
//   node editor_test.js URL FOLDER SCREENSHOT
// Every wait is bounded; the first check that fails ends the run with 1.
"use strict";
const { chromium } = require("playwright-core");

const [url, folder, screenshot] = process.argv.slice(2);
const WAIT = 20000; // ms for one thing to show; the server answers in far less
const chromiumPath = process.env.QUORLEN_CHROMIUM || "/usr/bin/chromium";

let page;
let failures = 0;
const log = (...a) => console.log("editor:", ...a);

async function check(name, body) {
  try {
    log(`ok: ${name}: ${await body()}`);
  } catch (e) {
    failures += 1;
    log(`FAILED: ${name}: ${e.message.split("\n")[0]}`);
  }
}

// The palette runs commands by title, as a person would.
async function command(title) {
  await page.keyboard.press("F1");
  const input = page.locator(".quick-input-widget input");
  await input.waitFor({ state: "visible", timeout: WAIT });
  await input.fill(`>${title}`);
  const row = page.locator(".quick-input-list .monaco-list-row", { hasText: title }).first();
  await row.waitFor({ timeout: WAIT });
  await page.keyboard.press("Enter");
  await input.waitFor({ state: "hidden", timeout: WAIT });
}

async function goToLine(line) {
  await page.keyboard.press("Control+g");
  const input = page.locator(".quick-input-widget input");
  await input.waitFor({ state: "visible", timeout: WAIT });
  await input.fill(`:${line}`);
  await page.keyboard.press("Enter");
  await input.waitFor({ state: "hidden", timeout: WAIT });
}

// The editor's lines as shown, in order (the view keeps them absolutely
// placed, not in document order).
async function lines() {
  return page.$$eval(".editor-instance .monaco-editor .view-lines .view-line", (els) =>
    els
      .map((el) => ({ top: parseFloat(el.style.top), text: el.textContent.replace(/\u00a0/g, " ") }))
      .sort((a, b) => a.top - b.top)
      .map((l) => l.text));
}

async function waitForLines(predicate, what) {
  const end = Date.now() + WAIT;
  let seen = [];
  while (Date.now() < end) {
    seen = await lines();
    if (predicate(seen)) return seen;
    await page.waitForTimeout(200);
  }
  throw new Error(`${what}; the editor shows ${JSON.stringify(seen)}`);
}

async function main() {
  const browser = await chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    // Root in a container: Chromium's sandbox needs namespaces it may not get.
    args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
    timeout: WAIT,
  });
  try {
    page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
    page.setDefaultTimeout(WAIT);
    await page.goto(`${url}?folder=${encodeURIComponent(folder)}`, { timeout: WAIT });
    await page.locator(".monaco-workbench").waitFor({ timeout: 60000 });

    // Opened by name through Quick Open, as a person would.
    await page.keyboard.press("Control+p");
    const input = page.locator(".quick-input-widget input");
    await input.waitFor({ state: "visible" });
    await input.fill("mistakes.cfg");
    await page.locator(".quick-input-list .monaco-list-row", { hasText: "mistakes.cfg" }).first().waitFor();
    await page.keyboard.press("Enter");
    await waitForLines((l) => l.some((t) => t.startsWith("[camera parameter]")), "the file did not open");
    await page.locator(".editor-instance .monaco-editor textarea").first().focus();

    await check("the language of the file", async () => {
      const mode = page.locator(".statusbar-item[id='status.editor.mode']");
      await mode.filter({ hasText: "Quorlen camera configuration" }).waitFor();
      return (await mode.textContent()).trim();
    });

    await check("the status bar shows the server running", async () => {
      const item = page.locator(".statusbar-item", { hasText: "quorlen-config" })
        .filter({ has: page.locator(".codicon-check") });
      await item.waitFor();
      return `${(await item.innerText()).trim()} (check mark)`;
    });

    await check("Problems panel shows the unknown key", async () => {
      await command("View: Focus Problems");
      const row = page.locator(".markers-panel .monaco-list-row", { hasText: "Q201" }).first();
      await row.waitFor();
      const text = (await row.innerText()).replace(/\s+/g, " ").trim();
      if (!/unknown key/.test(text)) throw new Error(`the Q201 row says ${text}`);
      return text;
    });
    await page.locator(".editor-instance .monaco-editor textarea").first().focus();

    await check("hover shows the stored value", async () => {
      await goToLine(5); // BIT_WIDTH = 300
      await command("Show or Focus Hover");
      const hover = page.locator(".monaco-hover-content", { hasText: "0x2C" }).first();
      await hover.waitFor();
      const text = (await hover.innerText()).replace(/\s+/g, " ").trim();
      if (!/44 \(0x2C\)/.test(text)) throw new Error(`the hover says ${text}`);
      await page.keyboard.press("Escape");
      return text.slice(0, 100);
    });

    await check("the grammar colours the header", async () => {
      // The header's name against a value, which the grammar leaves as
      // text: each the token of its line that holds the word.
      const token = (line, word) =>
        page.$$eval(".editor-instance .view-lines .view-line", (els, [line, word]) => {
          const el = els.find((e) => e.textContent.replace(/\u00a0/g, " ").startsWith(line));
          const span = el && [...el.querySelectorAll("span span")].find((s) => s.textContent.includes(word));
          return span && { text: span.textContent.replace(/\u00a0/g, " "), cls: span.className,
                           colour: getComputedStyle(span).color,
                           tokens: [...el.querySelectorAll("span span")].map((s) => `${s.className}:${s.textContent}`) };
        }, [line, word]);
      const header = await token("[camera parameter]", "camera");
      const value = await token("TYPE = ", "sensor");
      if (!header || !value) throw new Error(`no token for the header (${JSON.stringify(header)}) or the value (${JSON.stringify(value)})`);
      if (header.cls === value.cls || header.colour === value.colour)
        throw new Error(`header and value look the same: ${JSON.stringify([header, value])}`);
      return `"${header.text}" ${header.cls} ${header.colour}, value "${value.text}" ${value.cls} ${value.colour}`;
    });

    await check("completion offers the section's keys", async () => {
      await goToLine(6);
      const before = JSON.stringify(await lines());
      await page.keyboard.press("End");
      await page.keyboard.press("Enter");
      await page.keyboard.press("Control+Space");
      const rows = page.locator(".suggest-widget .monaco-list-row");
      await rows.first().waitFor();
      await page.locator(".suggest-widget .monaco-list-row", { hasText: "TRANS_LVL" }).first().waitFor();
      const labels = (await page.locator(".suggest-widget .monaco-list-row .label-name").allInnerTexts()).map((s) => s.trim());
      if (labels.includes("REG")) throw new Error(`a register key among the camera's: ${labels}`);
      await page.keyboard.press("Escape");
      await page.keyboard.press("Control+z");
      await waitForLines((l) => JSON.stringify(l) === before, "the new line stayed");
      return `${labels.length} shown, first ${labels.slice(0, 6).join(" ")}`;
    });

    await check("a quick fix changes the text", async () => {
      await goToLine(4); // I2C_ADR = 0x36
      await command("Quick Fix...");
      const action = page.locator(".action-widget .monaco-list-row", { hasText: "I2C_ADDR" }).first();
      await action.waitFor();
      const title = (await action.innerText()).trim();
      await action.click();
      await waitForLines((l) => l.includes("I2C_ADDR = 0x36") && !l.includes("I2C_ADR = 0x36"),
        "the line stayed I2C_ADR");
      // The fix also takes the finding away.
      await page.locator(".markers-panel .monaco-list-row", { hasText: "Q201" }).first()
        .waitFor({ state: "detached" });
      return `"${title}": line 4 reads I2C_ADDR = 0x36, Q201 gone from the Problems panel`;
    });
  } finally {
    if (page) await page.screenshot({ path: screenshot }).catch((e) => log(`no screenshot: ${e.message}`));
    await browser.close();
  }
}

main().then(
  () => {
    log(failures ? `${failures} checks failed` : "every check passed");
    process.exit(failures ? 1 : 0);
  },
  (e) => {
    log(`FAILED: ${e.message.split("\n")[0]}`);
    process.exit(1);
  });
