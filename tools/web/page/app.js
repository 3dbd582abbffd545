// The playground's page.  It reads the whole state once (/api/state), then
// follows the updates the simulator publishes (/events, server-sent events),
// and sends what the operator does as small JSON requests (/api/...).
// Every text from the server goes into the page as text (textContent,
// text nodes, attributes), never as HTML.
"use strict";

const RANKS = ["guest", "member", "wizard", "god"];
const FEED_KEPT = 2000;
const DETAIL_KINDS = new Set(["server", "timer", "update"]);
// What each message type is, for the feed.
const MESSAGE_WORDS = {
  talk: "chat line", whis: "whisper", xtlk: "chat line", xwis: "whisper", rmsg: "room message",
  gmsg: "global message", smsg: "page", navR: "room change", uLoc: "move", usrF: "face change",
  usrC: "colour change", usrN: "name change", usrP: "props", usrD: "avatar change", nPrp: "prop drop",
  mPrp: "prop move", dPrp: "prop removal", sSta: "spot change", regi: "logon", rLst: "room list",
  uLst: "user list", susr: "operator request", lock: "door lock", unlo: "door unlock",
};
const FEED_BADGES = { refusal: "refused", swallowed: "swallowed" };
// The thirteen faces: eyes and mouth of each.
const FACES = [
  ["dot", "smile"], ["dot", "grin"], ["dot", "flat"], ["dot", "frown"], ["wide", "o"], ["wink", "smile"],
  ["closed", "smile"], ["closed", "flat"], ["wide", "frown"], ["x", "flat"], ["dot", "smirk"], ["wide", "grin"],
  ["closed", "tongue"],
];

const view = {
  world: { rooms: [], users: [], clock: {}, running: false },
  rules: { rules: [], types: [] },
  scenario: { rows: [], name: "" },
  feed: [],
  seq: 0,
  actor: "",
  room: null,        // the room shown
  shownVia: null,    // the directive of the last feed row shown
  lastActorRoom: null,
};

// ------------------------------------------------------------ elements

function el(tag, props, ...children) {
  const e = document.createElement(tag);
  setProps(e, props);
  for (const c of children) if (c !== null && c !== undefined) e.append(c instanceof Node ? c : String(c));
  return e;
}

const SVG = "http://www.w3.org/2000/svg";
function svg(tag, props, ...children) {
  const e = document.createElementNS(SVG, tag);
  setProps(e, props);
  for (const c of children) if (c !== null && c !== undefined) e.append(c instanceof Node ? c : String(c));
  return e;
}

function setProps(e, props) {
  for (const [key, value] of Object.entries(props || {})) {
    if (value === null || value === undefined || value === false) continue;
    if (key === "class") e.setAttribute("class", value);
    else if (key === "text") e.textContent = value;
    else if (key === "dataset") Object.assign(e.dataset, value);
    else if (key.startsWith("on")) e.addEventListener(key.slice(2), value);
    else e.setAttribute(key, value === true ? "" : String(value));
  }
}

const $ = (id) => document.getElementById(id);

function replaceChildren(parent, children) {
  parent.replaceChildren(...children);
}

function status(text, kind) {
  const s = $("status");
  s.textContent = text;
  s.className = kind || "";
  s.title = text;
}

// ------------------------------------------------------------ the server

async function api(path, body) {
  const options = body === undefined ? {} : {
    method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify(body),
  };
  let reply;
  try {
    const res = await fetch(path, options);
    reply = await res.json();
    reply.httpStatus = res.status;
  } catch (err) {
    status("the playground does not answer: " + err.message, "error");
    return { ok: false, error: String(err) };
  }
  if (reply.ok === false && reply.error) status(reply.error, "error");
  else if (body !== undefined && $("status").className === "error") status("", ""); // an action went through: the old error is stale
  return reply;
}

let events = null;

async function loadState() {
  const s = await api("/api/state");
  if (s.ok === false) return;
  view.seq = s.seq;
  view.feed = s.feed.slice(-FEED_KEPT);
  applyUpdate(s);
  rebuildFeed();
}

async function connect() {
  await loadState();
  if (events) events.close();
  events = new EventSource("/events?after=" + view.seq);
  events.onmessage = (e) => {
    const seq = Number(e.lastEventId);
    if (seq <= view.seq) return;
    view.seq = seq;
    const update = JSON.parse(e.data);
    applyUpdate(update);
    appendFeed(update.feed || []);
  };
  events.addEventListener("reset", () => { loadState(); });
  events.onerror = () => status("lost the playground: reconnecting...", "error");
  events.onopen = () => { if ($("status").className === "error") status("connected", "fine"); };
}

function applyUpdate(u) {
  if (u.world) view.world = u.world;
  if (u.rules) view.rules = u.rules;
  if (u.scenario) view.scenario = u.scenario;
  scheduleRender();
}

// One render for any number of updates: at the next frame, or after a
// quarter of a second when frames are held back (a busy machine, a page
// the browser keeps in the background), whichever comes first.
let renderPending = false;
function scheduleRender() {
  if (renderPending) return;
  renderPending = true;
  const once = () => {
    if (!renderPending) return;
    renderPending = false;
    render();
  };
  requestAnimationFrame(once);
  setTimeout(once, 250);
}

// ------------------------------------------------------------ rendering

function render() {
  chooseActor();
  renderClock();
  renderRooms();
  renderPeople();
  renderRoom();
  renderActing();
  renderRules();
  renderScenario();
  renderFilters();
  renderCrowdControl();
}

function usersIn(roomId) { return view.world.users.filter((u) => u.room === roomId); }
function userNamed(handle) { return view.world.users.find((u) => u.handle === handle); }
function roomNumbered(id) { return view.world.rooms.find((r) => r.id === id); }

// The acting user stays while connected; the room shown follows the acting
// user when the acting user changes rooms.
function chooseActor() {
  if (!userNamed(view.actor)) view.actor = view.world.users.length ? view.world.users[0].handle : "";
  const actor = userNamed(view.actor);
  const actorRoom = actor ? actor.room : null;
  if (actorRoom !== view.lastActorRoom) {
    view.lastActorRoom = actorRoom;
    if (actorRoom !== null) view.room = actorRoom;
  }
  if (!roomNumbered(view.room) && view.world.rooms.length) view.room = view.world.rooms[0].id;
}

function renderClock() {
  $("clock-time").textContent = view.world.clock.time || "--:--:--";
  $("clock-date").textContent = view.world.clock.date || "";
  const m = $("module-state");
  m.textContent = view.world.running ? "module running" : "module stopped";
  m.className = "pill " + (view.world.running ? "running" : "stopped");
}

function flagChips(flags) { return flags.map((f) => el("span", { class: "flag", text: f })); }

function ownerText(room) {
  if (!room.owner) return null;
  return "owner: " + (room.owner.user || "counter " + room.owner.counter);
}

function renderRooms() {
  const items = view.world.rooms.map((r) => {
    const people = r.occupants.length ? r.occupants.join(", ") : "nobody";
    const extra = [r.entrance ? "entrance" : null, ownerText(r),
      r.props.length ? r.props.length + " loose prop" + (r.props.length === 1 ? "" : "s") : null,
      r.drawings ? r.drawings + " drawing" + (r.drawings === 1 ? "" : "s") : null].filter(Boolean);
    return el("li", { class: r.id === view.room ? "chosen room" : "room", dataset: { room: r.id },
      onclick: () => { view.room = r.id; scheduleRender(); } },
      el("div", {}, el("span", { class: "room-name", text: r.name }), " ", el("span", { class: "muted", text: "#" + r.id })),
      el("div", { class: "room-line", text: people }),
      el("div", { class: "room-line" }, ...flagChips(r.flags), extra.join(" · ")));
  });
  replaceChildren($("rooms"), items);
  fillSelect($("connect-room"), view.world.rooms.map((r) => [String(r.id), r.name + " #" + r.id]));
  fillSelect($("goto-room"), view.world.rooms.map((r) => [String(r.id), r.name + " #" + r.id]));
}

function renderPeople() {
  const items = view.world.users.map((u) => {
    const room = roomNumbered(u.room);
    return el("li", { class: u.handle === view.actor ? "acting" : "", dataset: { handle: u.handle } },
      el("span", { class: "who", text: u.handle + " · " + (RANKS[u.rank] || u.rank) + " · " + (room ? room.name : "no room") +
        (u.pinned ? " · pinned" : "") }),
      el("button", { type: "button", text: "act", title: "act as " + u.handle, onclick: () => setActor(u.handle) }),
      el("button", { type: "button", text: "leave", title: u.handle + " disconnects",
        onclick: () => api("/api/leave", { user: u.handle }) }));
  });
  replaceChildren($("people"), items);
}

function setActor(handle) {
  view.actor = handle;
  view.lastActorRoom = null;
  scheduleRender();
}

// Keeps a select's choice, and its fixed options (data-fixed), while
// refreshing the others.
function fillSelect(select, options) {
  const chosen = select.value;
  const fixed = Array.from(select.options).filter((o) => o.dataset.fixed !== undefined);
  const opts = options.map(([value, label]) => el("option", { value, text: label }));
  select.replaceChildren(...fixed, ...opts);
  if (Array.from(select.options).some((o) => o.value === chosen)) select.value = chosen;
}

// ------------------------------------------------------------ the room

const clamp = (n, lo, hi) => Math.max(lo, Math.min(hi, n));

function renderRoom() {
  const room = roomNumbered(view.room);
  const canvas = $("room");
  const parts = [svg("rect", { class: "floor", x: 0, y: 0, width: 512, height: 384 })];
  for (let x = 64; x < 512; x += 64) parts.push(svg("line", { class: "grid-line", x1: x, y1: 0, x2: x, y2: 384 }));
  for (let y = 64; y < 384; y += 64) parts.push(svg("line", { class: "grid-line", x1: 0, y1: y, x2: 512, y2: y }));
  if (!room) {
    $("room-title").textContent = "No room yet";
    $("room-meta").textContent = "";
    $("room-flags").textContent = "";
    canvas.replaceChildren(...parts);
    return;
  }
  $("room-title").textContent = room.name + " #" + room.id;
  const people = usersIn(room.id);
  $("room-meta").textContent = people.length + (people.length === 1 ? " person, " : " people, ") +
    room.props.length + " loose prop" + (room.props.length === 1 ? "" : "s") + ", " +
    room.drawings + " drawing" + (room.drawings === 1 ? "" : "s");
  replaceChildren($("room-flags"), [...flagChips(room.flags), ownerText(room) || ""]);
  for (const p of room.props) parts.push(looseProp(p));
  for (const u of people) parts.push(avatar(u));
  if (room.drawings) parts.push(svg("text", { class: "drawings", x: 8, y: 16, text: "✎ " + room.drawings + " drawing" + (room.drawings === 1 ? "" : "s") }));
  canvas.replaceChildren(...parts);
}

function looseProp(p) {
  const x = clamp(p.h, 0, 511), y = clamp(p.v, 0, 383);
  return svg("g", { class: "loose", transform: `translate(${x} ${y})`, dataset: { index: p.index, prop: p.id } },
    svg("title", { text: "loose prop " + p.id + " at " + p.h + "," + p.v }),
    svg("rect", { x: -7, y: -7, width: 14, height: 14, rx: 2, transform: "rotate(45)" }),
    svg("text", { x: 10, y: 4, text: String(p.id) }));
}

function colourOf(n) { return `hsl(${(((n % 16) + 16) % 16) * 22.5}, 68%, 62%)`; }

function faceFeatures(face) {
  const [eyes, mouth] = FACES[((face % 13) + 13) % 13];
  const parts = [];
  const eye = (x) => {
    if (eyes === "dot") return svg("circle", { class: "eye", cx: x, cy: -4, r: 2 });
    if (eyes === "wide") return svg("circle", { class: "eye", cx: x, cy: -4, r: 3 });
    if (eyes === "closed") return svg("path", { class: "feature", d: `M${x - 3} -4 q3 2 6 0` });
    if (eyes === "x") return svg("path", { class: "feature", d: `M${x - 2.5} -6.5 l5 5 M${x + 2.5} -6.5 l-5 5` });
    return x < 0 ? svg("circle", { class: "eye", cx: x, cy: -4, r: 2 }) : svg("path", { class: "feature", d: `M${x - 3} -4 h6` });
  };
  parts.push(eye(-6), eye(6));
  const mouths = {
    smile: "M-7 4 q7 7 14 0", grin: "M-8 3 q8 10 16 0 z", flat: "M-6 6 h12", frown: "M-7 9 q7 -6 14 0",
    o: null, smirk: "M-6 6 q6 3 12 -3", tongue: "M-7 4 q7 7 14 0",
  };
  if (mouth === "o") parts.push(svg("circle", { class: "feature", cx: 0, cy: 6, r: 3.5 }));
  else parts.push(svg("path", { class: "feature", d: mouths[mouth] }));
  if (mouth === "tongue") parts.push(svg("path", { class: "eye", d: "M-2 8 q2 5 4 0 z" }));
  return parts;
}

function avatar(u) {
  const x = clamp(u.h, 0, 511), y = clamp(u.v, 0, 383);
  const off = x !== u.h || y !== u.v;
  const classes = ["avatar", u.handle === view.actor ? "acting" : "", u.pinned ? "pinned" : "", off ? "off-room" : ""];
  const parts = [svg("title", { text: u.handle + (u.name !== u.handle ? " (named " + u.name + ")" : "") + " at " +
    u.h + "," + u.v + ", face " + u.face + ", colour " + u.color + (u.pinned ? ", pinned (" + u.pinned + ")" : "") })];
  if (u.handle === view.actor) parts.push(svg("circle", { class: "ring", r: 21 }));
  if (u.pinned) parts.push(svg("circle", { class: "pin-ring", r: 24 }));
  parts.push(svg("circle", { class: "face", r: 16, fill: colourOf(u.color) }), ...faceFeatures(u.face));
  if (u.props.length) parts.push(wornProps(u.props));
  if (u.pinned) parts.push(svg("g", { class: "pin", transform: "translate(14 -14)" },
    svg("line", { class: "pin-needle", x1: 0, y1: 0, x2: -5, y2: 7 }), svg("circle", { class: "pin-head", r: 4.5 })));
  const label = u.handle + (u.pinned ? " (pinned)" : "");
  parts.push(svg("text", { class: "name", y: 30, "text-anchor": nameAnchor(x), x: nameOffset(x), text: label }));
  return svg("g", { class: classes.filter(Boolean).join(" "), transform: `translate(${x} ${y})`,
    dataset: { handle: u.handle, h: u.h, v: u.v } }, ...parts);
}

// Names near the walls are drawn inward, so they stay readable.
function nameAnchor(x) { return x < 40 ? "start" : x > 472 ? "end" : "middle"; }
function nameOffset(x) { return x < 40 ? -16 : x > 472 ? 16 : 0; }

function wornProps(props) {
  const shown = props.slice(0, 4);
  const width = 22;
  const start = -((shown.length * width) / 2);
  const g = svg("g", { class: "worn", transform: "translate(0 -30)" });
  shown.forEach((id, i) => {
    g.append(svg("rect", { x: start + i * width, y: -6, width: width - 2, height: 11, rx: 2 }),
      svg("text", { x: start + i * width + 2, y: 3, text: String(id).slice(0, 5) }));
  });
  if (props.length > shown.length) g.append(svg("text", { x: -start + 2, y: 3, text: "+" + (props.length - shown.length) }));
  return g;
}

// A click in the room: the acting user moves there, or drops a prop there.
function clickInRoom(event) {
  const canvas = $("room");
  const point = canvas.createSVGPoint();
  point.x = event.clientX;
  point.y = event.clientY;
  const at = point.matrixTransform(canvas.getScreenCTM().inverse());
  const x = clamp(Math.round(at.x), 0, 511), y = clamp(Math.round(at.y), 0, 383);
  const actor = userNamed(view.actor);
  if (!actor) return status("connect a user first", "error");
  if (actor.room !== view.room) return status(actor.handle + " is in another room: choose it, or go there first", "error");
  const mode = document.querySelector("input[name=click]:checked").value;
  if (mode === "drop") api("/api/drop", { user: actor.handle, prop: Number($("drop-prop").value) || 0, x, y });
  else api("/api/move", { user: actor.handle, x, y });
}

// ------------------------------------------------------------ acting

function renderActing() {
  fillSelect($("actor"), view.world.users.map((u) => [u.handle, u.handle + " (" + (RANKS[u.rank] || u.rank) + ")"]));
  $("actor").value = view.actor;
  const actor = userNamed(view.actor);
  const room = actor && roomNumbered(actor.room);
  $("actor-info").textContent = actor ? "in " + (room ? room.name : "no room") + " at " + actor.h + "," + actor.v +
    (actor.props.length ? ", wearing " + actor.props.join(", ") : "") : "nobody is connected";
  fillSelect($("say-to"), view.world.users.filter((u) => u.handle !== view.actor).map((u) => [u.handle, "whisper to " + u.handle]));
  if (actor) {
    $("face").value = String(actor.face);
    for (const s of $("colours").children) s.classList.toggle("chosen", Number(s.dataset.colour) === actor.color);
  }
}

function buildLooksControls() {
  $("face").replaceChildren(...FACES.map((_, i) => el("option", { value: String(i), text: "face " + i })));
  const swatches = [];
  for (let c = 0; c < 16; c++) {
    const s = el("button", { type: "button", class: "swatch", title: "colour " + c, dataset: { colour: c },
      onclick: () => actorDo("/api/color", { color: c }) });
    s.style.background = colourOf(c);
    swatches.push(s);
  }
  $("colours").replaceChildren(...swatches);
}

function actorDo(path, body) {
  if (!view.actor) return status("connect a user first", "error");
  return api(path, { user: view.actor, ...body });
}

// ------------------------------------------------------------ the feed

function matchesFilters(e) {
  const user = $("filter-user").value, rule = $("filter-rule").value;
  if (!$("filter-details").checked && DETAIL_KINDS.has(e.kind)) return false;
  if (rule && e.rule !== rule) return false;
  if (user && e.user !== user && e.other !== user && !(e.receivers || []).includes(user)) return false;
  return true;
}

function feedRow(e) {
  const classes = ["entry", "kind-" + e.kind, e.depth > 0 ? "nested" : ""];
  let text = e.text;
  if (e.kind === "refusal" || e.kind === "swallowed") {
    const what = MESSAGE_WORDS[e.type] || e.type || "timer action";
    text = (e.user ? e.user + ": " : "") + what + (e.kind === "refusal" ? " refused" : " swallowed") +
      (e.other ? " (" + e.other + " involved)" : "");
  }
  if (e.kind === "check") classes.push(/-> ok/.test(e.text) ? "ok" : "failed");
  const row = el("div", { class: classes.filter(Boolean).join(" "), dataset: { n: e.n, kind: e.kind, rule: e.rule || "" } },
    el("span", { class: "t", text: e.t || "" }),
    el("span", { class: "badge", text: FEED_BADGES[e.kind] || e.kind }),
    el("span", { class: "text", text }));
  if (e.reason) row.append(el("div", { class: "reason", text: e.reason }));
  return row;
}

function viaRow(via) { return el("div", { class: "entry via", text: "› " + via }); }

function appendRows(entries, feed) {
  for (const e of entries) {
    if (!matchesFilters(e)) continue;
    if (e.via && e.via !== view.shownVia) feed.append(viaRow(e.via));
    view.shownVia = e.via;
    feed.append(feedRow(e));
  }
}

function appendFeed(entries) {
  if (!entries.length) return;
  view.feed.push(...entries);
  if (view.feed.length > FEED_KEPT) view.feed.splice(0, view.feed.length - FEED_KEPT);
  const feed = $("feed");
  const atBottom = feed.scrollHeight - feed.scrollTop - feed.clientHeight < 30;
  appendRows(entries, feed);
  while (feed.childElementCount > FEED_KEPT * 1.5) feed.firstElementChild.remove();
  if (atBottom) feed.scrollTop = feed.scrollHeight;
}

function rebuildFeed() {
  const feed = $("feed");
  feed.replaceChildren();
  view.shownVia = null;
  appendRows(view.feed, feed);
  feed.scrollTop = feed.scrollHeight;
}

function renderFilters() {
  const handles = new Set(view.world.users.map((u) => u.handle));
  for (const e of view.feed) if (e.user) handles.add(e.user);
  fillSelect($("filter-user"), [...handles].sort().map((h) => [h, h]));
  const rules = new Set(view.rules.rules.map((r) => r.rule));
  for (const e of view.feed) if (e.rule) rules.add(e.rule);
  fillSelect($("filter-rule"), [...rules].sort().map((r) => [r, r]));
}

// ------------------------------------------------------------ the rules

function renderRules() {
  const rows = view.rules.rules.map((r) => {
    const top = r.top.map((t) => t.user + " " + t.refused).join(", ") || "–";
    return el("tr", { class: r.refused ? "hit" : "", dataset: { rule: r.rule, line: r.line } },
      el("td", {}, el("span", { text: r.rule }), r.mark ? el("span", { class: "mark", text: r.mark }) : null,
        r.text ? el("span", { class: "line-text", text: r.text }) : null),
      el("td", { class: "num", text: r.line ? String(r.line) : "–" }),
      el("td", { class: "num checked", text: String(r.checked) }),
      el("td", { class: "num", text: String(r.passed) }),
      el("td", { class: "num refused", text: String(r.refused) }),
      el("td", { class: "num", text: String(r.told) }),
      el("td", { class: "num", text: String(r.users) }),
      el("td", { text: top }));
  });
  if (!view.rules.traced) rows.push(el("tr", {}, el("td", { colspan: 8, text: "this simulator has no decision trace: no rule is counted" })));
  replaceChildren($("rules").tBodies[0], rows);
  replaceChildren($("types").tBodies[0], view.rules.types.map((t) => el("tr", {},
    el("td", { text: (MESSAGE_WORDS[t.type] || t.type) + " (" + t.type + ")" }),
    el("td", { class: "num", text: String(t.received) }), el("td", { class: "num", text: String(t.passed) }),
    el("td", { class: "num", text: String(t.swallowed) }))));
}

// ------------------------------------------------------------ the parameter file

let paramsShown = null; // the path whose text is in the editor
let paramsLoading = false;

async function loadParameters(force) {
  if (paramsLoading) return;
  paramsLoading = true;
  const p = await api("/api/params");
  paramsLoading = false;
  $("params-path").textContent = p.path ? p.path + (p.writable ? "" : " (read only)") : "no parameter file yet";
  if (!force && paramsShown === p.path) return;
  if (paramsShown !== p.path) { showFindings([]); $("params-result").textContent = ""; }
  paramsShown = p.path;
  $("params-text").value = p.text || "";
  $("params-text").readOnly = !p.writable;
}

async function reloadParameters() {
  const result = $("params-result");
  result.textContent = "checking...";
  result.className = "";
  const r = await api("/api/params", { text: $("params-text").value, user: view.actor });
  showFindings(r.findings || []);
  if (r.applied) {
    result.textContent = "reloaded" + (r.reloadedBy ? " by " + r.reloadedBy : "") +
      (r.findings && r.findings.length ? ", with the findings below" : ": no problems");
    result.className = "fine";
  } else {
    result.textContent = "not reloaded: " + (r.error || "the file has problems") ;
    result.className = "error";
  }
}

function showFindings(findings) {
  const items = findings.map((f) => el("li", { class: f.severity, dataset: { line: f.line },
    onclick: () => selectLine(f.line) },
  el("span", { class: "where", text: f.line ? "line " + f.line + (f.column ? ", column " + f.column : "") : "the file" }),
  el("span", { text: f.severity + ": " + f.text })));
  replaceChildren($("params-findings"), items);
}

function selectLine(n) {
  const area = $("params-text");
  const lines = area.value.split("\n");
  if (n < 1 || n > lines.length) return;
  const start = lines.slice(0, n - 1).reduce((sum, l) => sum + l.length + 1, 0);
  area.focus();
  area.setSelectionRange(start, start + lines[n - 1].length);
}

// ------------------------------------------------------------ the scenario

function renderScenario() {
  const s = view.scenario;
  $("scenario-name").textContent = s.name + (s.finished ? " (ended)" : s.playing ? " (playing)" : "") +
    (s.params ? " · parameters: " + s.params : "");
  const list = $("scenario-rows");
  const rows = s.rows.map((r, i) => {
    const classes = [r.status.replace(/ /g, "-"), i === s.next && !s.finished ? "next" : ""];
    const li = el("li", { class: classes.filter(Boolean).join(" "), dataset: { line: r.line, status: r.status } },
      el("span", { class: "num", text: String(r.line) }),
      el("code", { text: r.source }),
      r.status !== "pending" ? el("span", { class: "result", text: r.status }) : null);
    const open = r.status === "failed" || r.status === "error";
    if (r.detail && (open || expanded.has(r.line))) li.append(el("pre", { text: r.detail }));
    li.addEventListener("click", () => { expanded.has(r.line) ? expanded.delete(r.line) : expanded.add(r.line); renderScenario(); });
    return li;
  });
  const keep = list.scrollTop;
  replaceChildren(list, rows);
  list.scrollTop = keep;
  const next = list.children[Math.min(s.next, rows.length - 1)];
  if (next && s.next !== lastNext) {
    lastNext = s.next;
    if (next.offsetTop < list.scrollTop || next.offsetTop > list.scrollTop + list.clientHeight - 30)
      list.scrollTop = next.offsetTop - list.clientHeight / 2;
  }
  $("scenario-play").disabled = s.finished || s.playing;
  $("scenario-pause").disabled = !s.playing;
  $("scenario-step").disabled = s.finished;
  $("scenario-finish").disabled = s.finished;
  if (s.params !== undefined && s.params !== paramsShown) loadParameters(false);
}
const expanded = new Set();
let lastNext = -1;

async function loadScenarioList() {
  const r = await api("/api/scenarios");
  if (!r.files) return;
  fillSelect($("scenario-files"), r.files.map((f) => [f, f]));
  if (r.files.includes(r.current)) $("scenario-files").value = r.current;
}

// ------------------------------------------------------------ crowds

// Shown when the simulator has crowds (the state says so), with one row of
// counters per crowd: these columns first, then whatever else the state gives.
const CROWD_COLUMNS = ["crowd", "profile", "users", "sent", "passed", "refused", "by", "state"];

function renderCrowdControl() {
  const crowds = view.world.crowds;
  $("crowd-form").hidden = !crowds;
  if (!crowds || !crowds.length) return;
  const given = Object.keys(crowds[0]);
  const keys = [...CROWD_COLUMNS.filter((k) => given.includes(k)), ...given.filter((k) => !CROWD_COLUMNS.includes(k))];
  replaceChildren($("crowds").tHead, [el("tr", {}, ...keys.map((k) => el("th", { text: k })))]);
  replaceChildren($("crowds").tBodies[0], crowds.map((c) => el("tr", {}, ...keys.map((k) => el("td", { text: String(c[k]) })))));
}

function crowdRequest() {
  const body = { count: Number($("crowd-count").value), profile: $("crowd-profile").value };
  if ($("crowd-rooms").value.trim()) body.rooms = $("crowd-rooms").value.trim();
  if ($("crowd-rate").value) body.rate = Number($("crowd-rate").value);
  if ($("crowd-name").value.trim()) body.name = $("crowd-name").value.trim();
  return body;
}

// ------------------------------------------------------------ wiring

function onSubmit(id, handler) {
  $(id).addEventListener("submit", (e) => { e.preventDefault(); handler(); });
}

function wire() {
  buildLooksControls();
  $("room").addEventListener("click", clickInRoom);
  $("actor").addEventListener("change", (e) => setActor(e.target.value));
  onSubmit("say-form", async () => {
    const input = $("say-text");
    const to = $("say-to").value;
    const text = input.value;
    input.value = "";
    await actorDo("/api/say", to ? { text, to } : { text });
  });
  $("face").addEventListener("change", (e) => actorDo("/api/face", { face: Number(e.target.value) }));
  $("goto-button").addEventListener("click", () => actorDo("/api/goto", { room: Number($("goto-room").value) }));
  onSubmit("connect-form", async () => {
    const handle = $("connect-handle").value.trim();
    const r = await api("/api/connect", { handle, rank: Number($("connect-rank").value), room: Number($("connect-room").value) });
    if (r.ok) { $("connect-handle").value = ""; setActor(handle); status(handle + " connected", "fine"); }
  });
  onSubmit("crowd-form", () => api("/api/crowd", crowdRequest()));
  for (const b of $("advance-form").querySelectorAll("button[data-seconds]"))
    b.addEventListener("click", () => api("/api/advance", { seconds: Number(b.dataset.seconds) }));
  onSubmit("advance-form", () => api("/api/advance", { seconds: Number($("advance-seconds").value) }));
  for (const id of ["filter-user", "filter-rule", "filter-details"]) $(id).addEventListener("change", rebuildFeed);
  $("params-reload").addEventListener("click", reloadParameters);
  $("params-revert").addEventListener("click", () => { loadParameters(true); showFindings([]); $("params-result").textContent = ""; });
  $("scenario-load").addEventListener("click", async () => {
    const r = await api("/api/scenario/load", { name: $("scenario-files").value });
    if (r.ok) { expanded.clear(); lastNext = -1; status("loaded " + $("scenario-files").value, "fine"); }
  });
  $("scenario-restart").addEventListener("click", () => { expanded.clear(); lastNext = -1; api("/api/scenario/restart", {}); });
  $("scenario-step").addEventListener("click", () => api("/api/scenario/step", {}));
  $("scenario-play").addEventListener("click", () => api("/api/scenario/play", { interval: Number($("scenario-speed").value) }));
  $("scenario-pause").addEventListener("click", () => api("/api/scenario/pause", {}));
  $("scenario-finish").addEventListener("click", () => api("/api/scenario/finish", {}));
  onSubmit("directive-form", async () => {
    const r = await api("/api/directive", { line: $("directive-text").value });
    const result = $("directive-result");
    result.hidden = !r.ok && !r.error;
    result.textContent = r.ok ? r.detail : r.error || "";
    result.className = r.ok && r.status !== "failed" ? "" : "failed";
    if (r.ok) status($("directive-text").value + ": " + r.status, r.status === "failed" ? "error" : "fine");
  });
}

wire();
connect();
loadScenarioList();
loadParameters(true);
