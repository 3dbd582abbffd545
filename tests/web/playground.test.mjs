// The playground in a real browser: kestrom-sim --web on a copy of the
// example world, the system's Chromium (headless, network switched off),
// driven by puppeteer-core.  Each test saves a screenshot in $SCREENSHOTS.
//   KESTROM_SIM=build/kestrom-sim SCREENSHOTS=build/web-screenshots CHROMIUM=/usr/bin/chromium \
//     node --test tests/web/playground.test.mjs        (tests/web/run.sh does this)
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import http from "node:http";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";
import puppeteer from "puppeteer-core";

const here = path.dirname(fileURLToPath(import.meta.url));
const source = path.resolve(here, "../..");
const SIM = process.env.KESTROM_SIM;
const SHOTS = process.env.SCREENSHOTS;
const CHROMIUM = process.env.CHROMIUM || "/usr/bin/chromium";
const WAIT = { timeout: 20000 }; // generous: CI runs these beside other builds

let folder, sim, url, port, browser, page;
const pageErrors = [];

// kestrom-sim --web in a folder of its own, and the URL it prints.
function startPlayground() {
  folder = mkdtempSync(path.join(os.tmpdir(), "kestrom-web-test-"));
  for (const f of ["examples/playground.scenario", "examples/playground.params", "tests/web/checks.scenario"])
    copyFileSync(path.join(source, f), path.join(folder, path.basename(f)));
  sim = spawn(SIM, ["--web", "--port", "0", path.join(folder, "playground.scenario")], { stdio: ["ignore", "pipe", "inherit"] });
  return new Promise((resolve, reject) => {
    let out = "";
    const timer = setTimeout(() => reject(new Error("kestrom-sim printed no URL: " + out)), 10000);
    sim.stdout.on("data", (chunk) => {
      out += chunk;
      const m = /http:\/\/127\.0\.0\.1:(\d+)\//.exec(out);
      if (m) { clearTimeout(timer); port = Number(m[1]); resolve(m[0]); }
    });
    sim.on("exit", (code) => reject(new Error("kestrom-sim ended with " + code + ": " + out)));
  });
}

async function shot(name) {
  mkdirSync(SHOTS, { recursive: true });
  await page.screenshot({ path: path.join(SHOTS, name + ".png"), fullPage: true });
}

// A request from outside the browser, with headers of our choosing.
function request(method, target, headers, body) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: "127.0.0.1", port, method, path: target, headers, timeout: 5000 }, (res) => {
      let text = "";
      res.on("data", (c) => { text += c; });
      res.on("end", () => resolve({ status: res.statusCode, text }));
    });
    req.on("error", reject);
    req.end(body);
  });
}

const state = () => page.evaluate(() => fetch("/api/state").then((r) => r.json()));

// Where a user's face is drawn, in room coordinates (the room is 512 x 384 at 1:1).
async function drawnAt(handle) {
  return page.$eval(`#room g.avatar[data-handle="${handle}"] circle.face`, (c) => {
    const face = c.getBoundingClientRect(), room = document.getElementById("room").getBoundingClientRect();
    return { h: face.x + face.width / 2 - room.x, v: face.y + face.height / 2 - room.y };
  });
}

async function clickRoom(x, y) {
  const room = await page.$("#room");
  const box = await room.boundingBox();
  await page.mouse.click(box.x + x + 0.5, box.y + y + 0.5);
}

async function say(text) {
  await page.type("#say-text", text);
  await page.keyboard.press("Enter");
}

// The text of the feed's refusals that contain `words`.
const refusalWith = (words) => page.waitForFunction((w) => [...document.querySelectorAll("#feed .entry.kind-refusal")]
  .map((e) => e.textContent).find((t) => w.every((x) => t.includes(x))), WAIT, words).then((h) => h.jsonValue());

before(async () => {
  url = await startPlayground();
  browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    userDataDir: path.join(folder, "chromium-profile"),
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
      "--disable-component-update", "--disable-sync"],
  });
  page = await browser.newPage();
  page.on("pageerror", (e) => pageErrors.push(e.message));
  await page.setViewport({ width: 1440, height: 1000 });
  await page.goto(url, { waitUntil: "load" });
});

// Ctrl-C stops the playground cleanly (in the sanitizer build: with no leak).
after(async () => {
  if (browser) await browser.close();
  let code = sim ? sim.exitCode : 0;
  if (sim && code === null) {
    const ended = new Promise((resolve) => sim.once("exit", (c) => resolve(c)));
    sim.kill("SIGINT");
    code = await Promise.race([ended, new Promise((r) => setTimeout(() => r("still running"), 5000))]);
    if (sim.exitCode === null) sim.kill("SIGKILL");
  }
  if (folder) rmSync(folder, { recursive: true, force: true });
  assert.equal(code, 0, "kestrom-sim --web ends with status 0 on SIGINT");
});

test("the demo shows its rooms and its users where their positions say", { timeout: 60000 }, async () => {
  await page.waitForFunction(() => document.querySelectorAll("#rooms li.room").length === 3 &&
    document.querySelectorAll("#room g.avatar").length === 4, WAIT);
  const names = await page.$$eval("#rooms .room-name", (els) => els.map((e) => e.textContent));
  assert.deepEqual(names, ["Lobby", "Garden", "Tea House"]);
  const { world } = await state();
  const lobby = world.users.filter((u) => u.room === 1);
  assert.deepEqual(lobby.map((u) => u.handle).sort(), ["Alice", "Bob", "Carol", "Wren"]);
  for (const u of lobby) {
    const at = await drawnAt(u.handle);
    assert.ok(Math.abs(at.h - u.h) < 1 && Math.abs(at.v - u.v) < 1, `${u.handle} is drawn at ${at.h},${at.v}, not ${u.h},${u.v}`);
  }
  assert.deepEqual(await drawnAt("Carol"), { h: 470, v: 340 }); // the pinx rule's spot
  assert.ok(await page.$('#room g.avatar.pinned[data-handle="Carol"]'), "Carol is marked as pinned");
  const props = await page.$$eval("#room g.loose", (els) => els.map((e) => e.dataset.prop + "@" + e.getAttribute("transform")));
  assert.deepEqual(props, ["200@translate(260 320)", "777@translate(60 340)"]);
  assert.match(await page.$eval("#room-meta", (e) => e.textContent), /4 people, 2 loose props, 1 drawing/);
  assert.match(await page.$eval('#rooms li[data-room="3"]', (e) => e.textContent), /owner: Dana/);
  await shot("01-demo");
});

test("a typed flood is refused with its reason in the feed and counted in the rules", { timeout: 60000 }, async () => {
  await page.select("#actor", "Bob");
  for (const line of ["one", "two", "<b>three</b>", "four", "five"]) await say(line);
  const refusal = await refusalWith(["Bob: chat line refused", "refused by chat (line 3: chat 3 1 public private warn): 3 of 3 used"]);
  assert.match(refusal, /allowed again in \d+ s, told/);
  await page.waitForFunction(() => document.querySelector('#rules tr[data-rule="chat"][data-line="3"] td.refused')?.textContent === "2", WAIT);
  // What a user types is shown as text, never as markup.
  await page.waitForFunction(() => [...document.querySelectorAll("#feed .kind-chat")].some((e) => e.textContent.includes("<b>three</b>")), WAIT);
  assert.equal(await page.$$eval("#feed b", (els) => els.length), 0);
  await shot("02-flood");
});

test("a click moves the acting user, and a move into another user's space is refused", { timeout: 60000 }, async () => {
  await page.select("#actor", "Alice");
  await clickRoom(300, 300);
  // Mouse events land on whole pixels: the click is within a pixel of where it was aimed.
  await page.waitForFunction(() => {
    const g = document.querySelector('#room g.avatar[data-handle="Alice"]');
    return g && Math.abs(g.dataset.h - 300) <= 1 && Math.abs(g.dataset.v - 300) <= 1;
  }, WAIT);
  const moved = (await state()).world.users.find((u) => u.handle === "Alice");
  assert.deepEqual(await drawnAt("Alice"), { h: moved.h, v: moved.v });
  await clickRoom(330, 190); // 10 pixels from Bob, at 320,180
  const refusal = await refusalWith(["Alice: move refused", "refused by avatarzone (line 5: avatarzone 30 public warn): within 30 pixels of Bob, told"]);
  assert.ok(refusal);
  const alice = (await state()).world.users.find((u) => u.handle === "Alice");
  assert.deepEqual([alice.h, alice.v], [moved.h, moved.v]);
  await shot("03-move");
});

test("a reload with a broken parameter file shows the problem by line and keeps the old rules", { timeout: 60000 }, async () => {
  const file = path.join(folder, "playground.params");
  const before = readFileSync(file, "utf8");
  await page.waitForFunction(() => document.getElementById("params-text").value.includes("chat 3 1"), WAIT);
  const broken = before.replace("chat 3 1 public private warn", "chat five 1 public warn");
  await page.$eval("#params-text", (t, text) => { t.value = text; }, broken);
  await page.click("#params-reload");
  await page.waitForFunction(() => document.querySelector('#params-findings li.error[data-line="3"]'), WAIT);
  assert.match(await page.$eval('#params-findings li.error[data-line="3"]', (e) => e.textContent), /line 3, column 6.*`five` is not a number/);
  assert.match(await page.$eval("#params-result", (e) => e.textContent), /not reloaded/);
  assert.equal(readFileSync(file, "utf8"), before);
  // The rules in force are the old ones: Bob's bucket is still full.
  await page.select("#actor", "Bob");
  await say("still here");
  await page.waitForFunction(() => document.querySelector('#rules tr[data-rule="chat"][data-line="3"] td.refused')?.textContent === "3", WAIT);
  assert.match(await page.$eval('#rules tr[data-rule="chat"][data-line="3"]', (e) => e.textContent), /chat 3 1 public private warn/);
  await shot("04-broken-params");
  // A good file goes in force through an operator's `kestrom reload.
  await page.$eval("#params-text", (t, text) => { t.value = text; }, before.replace("chat 3 1", "chat 9 1"));
  await page.click("#params-reload");
  await page.waitForFunction(() => /reloaded by Wren/.test(document.getElementById("params-result").textContent), WAIT);
  await page.waitForFunction(() => /chat 9 1 public private warn/.test(document.querySelector('#rules tr[data-rule="chat"][data-line="3"]')?.textContent), WAIT);
  assert.match(readFileSync(file, "utf8"), /chat 9 1 public private warn/);
});

test("a crowd added from the page sends its traffic as the clock advances, counted by the rule that refused it", { timeout: 60000 }, async () => {
  await page.waitForSelector("#crowd-form:not([hidden])", WAIT);
  await page.$eval("#crowd-count", (i) => { i.value = "4"; });
  await page.select("#crowd-profile", "flooder");
  await page.$eval("#crowd-rate", (i) => { i.value = "60"; }); // bursts of ten lines every second or so
  await page.click("#crowd-form button[type=submit]");
  await page.waitForFunction(() => document.querySelector("#crowds tbody tr td")?.textContent === "flooder", WAIT);
  // The columns: crowd, profile, users, sent, passed, refused, by, state.
  await page.click('#advance-form button[type=submit]'); // five minutes
  await page.waitForFunction(() => {
    const cells = [...(document.querySelector("#crowds tbody tr")?.cells || [])].map((c) => c.textContent);
    return cells[2] === "4" && Number(cells[3]) > 0 && /chat line 3 \d+/.test(cells[6]);
  }, WAIT);
  await shot("05-crowd");
});

test("stepping through a scenario shows each check's result where it ran", { timeout: 60000 }, async () => {
  await page.waitForFunction(() => [...document.querySelectorAll("#scenario-files option")].some((o) => o.value === "checks.scenario"), WAIT);
  await page.select("#scenario-files", "checks.scenario");
  await page.click("#scenario-load");
  await page.waitForFunction(() => /checks\.scenario/.test(document.getElementById("scenario-name").textContent) &&
    document.querySelectorAll('#scenario-rows li[data-status="pending"]').length === 10, WAIT);
  for (let i = 1; i <= 9; i++) {
    await page.click("#scenario-step");
    await page.waitForFunction((n) => document.querySelectorAll('#scenario-rows li:not([data-status="pending"])').length === n, WAIT, i);
  }
  const rows = await page.$$eval("#scenario-rows li", (els) => els.map((e) => [e.dataset.line, e.dataset.status]));
  assert.deepEqual(rows, [["3", "done"], ["6", "done"], ["7", "done"], ["8", "done"], ["9", "done"], ["10", "ok"],
    ["11", "done"], ["12", "ok"], ["13", "failed"], ["14", "pending"]]);
  assert.match(await page.$eval('#scenario-rows li[data-line="13"] pre', (e) => e.textContent),
    /expected the message to be passed, got talk swallowed/);
  assert.match(await page.$eval("#room-title", (e) => e.textContent), /Hall/);
  await shot("06-scenario-steps");
});

test("requests from another site, or to another host name, are refused", { timeout: 60000 }, async () => {
  const json = { "Content-Type": "application/json" };
  const foreign = await request("POST", "/api/say", { ...json, Origin: "http://evil.example" }, JSON.stringify({ user: "Ann", text: "pwned" }));
  assert.equal(foreign.status, 403);
  assert.match(foreign.text, /other sites/);
  assert.equal((await request("GET", "/api/state", { Host: "evil.example:" + port })).status, 403);
  assert.equal((await request("GET", "/api/state", { Origin: "null" })).status, 403);
  assert.equal((await request("POST", "/api/say", { "Content-Type": "text/plain" }, "{}")).status, 415);
  assert.equal((await request("POST", "/api/params", json, JSON.stringify({ text: "x".repeat(300 * 1024) }))).status, 413);
  assert.equal((await request("GET", "/api/state", { Origin: "http://127.0.0.1:" + port })).status, 200);
  const said = (await state()).feed.filter((e) => e.kind === "chat" && e.said === "pwned");
  assert.equal(said.length, 0);
  // The page's own requests go through (it sends its Origin on each POST).
  const answer = await page.evaluate(() => fetch("/api/advance", { method: "POST", headers: { "Content-Type": "application/json" },
    body: JSON.stringify({ seconds: 1 }) }).then((r) => r.status));
  assert.equal(answer, 200);
  await shot("07-foreign-origin");
  assert.deepEqual(pageErrors, []);
});
