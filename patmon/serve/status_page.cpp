#include "serve/status_page.h"

namespace patmon {

const char *StatusPageHtml() {
    return R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>patmon: printers</title>
<style>
  body { font-family: system-ui, sans-serif; margin: 0; background: #f2f3f5; color: #1d1f23; }
  header { padding: 12px 16px; background: #263238; color: #fff; display: flex; justify-content: space-between;
           align-items: baseline; flex-wrap: wrap; gap: 8px; }
  header h1 { font-size: 1.2rem; margin: 0; }
  #summary { font-size: 0.9rem; opacity: 0.85; }
  main { display: grid; grid-template-columns: repeat(auto-fill, minmax(280px, 1fr)); gap: 12px; padding: 12px; }
  #filter { font: inherit; padding: 4px 8px; border-radius: 4px; border: 0; min-width: 12em; }
  .card { background: #fff; border-radius: 8px; box-shadow: 0 1px 3px rgba(0,0,0,0.15); padding: 10px;
          border-left: 6px solid #9e9e9e; overflow-wrap: anywhere; }
  .card.ok { border-left-color: #4caf50; }
  .card.warning { border-left-color: #ffa000; background: #fff8e1; }
  .card.critical { border-left-color: #d32f2f; background: #ffebee; }
  .card.unknown { border-left-color: #616161; background: #eceff1; }
  .card[hidden] { display: none; }
  .supplies { margin: 6px 0 0; display: grid; grid-template-columns: auto 1fr; gap: 2px 8px; font-size: 0.75rem; }
  .bar { background: #e0e0e0; border-radius: 3px; height: 0.8em; align-self: center; overflow: hidden; }
  .bar span { display: block; height: 100%; background: #607d8b; }
  .bar.low span { background: #ffa000; }
  .bar.empty span, .bar.full span { background: #d32f2f; }
  .severity { font-size: 0.75rem; text-transform: uppercase; letter-spacing: 0.05em; float: right; }
  .card h2 { font-size: 1rem; margin: 0 0 6px; }
  .card img { width: 100%; height: auto; aspect-ratio: 320 / 200; image-rendering: pixelated; background: #eee; }
  .label { font-weight: 600; margin: 6px 0 2px; }
  .message { white-space: pre-line; font-size: 0.9rem; margin: 0; }
  .when { font-size: 0.75rem; color: #666; margin-top: 6px; }
  .error { color: #b71c1c; }
</style>
</head>
<body>
<header><h1>Printers</h1>
<input id="filter" type="search" placeholder="filter by name or status" aria-label="filter printers">
<span id="summary">loading…</span></header>
<main id="cards"></main>
<script>
"use strict";
const cards = new Map();
// Most urgent first: stopped, not answering, wanting attention, fine.
const SEVERITIES = ["critical", "unknown", "warning", "ok"];
let latest = [];

function rank(p) { return p.polled ? SEVERITIES.indexOf(p.severity) : SEVERITIES.length; }

// Cards in order of urgency, then name; those the filter leaves out hidden.
function arrange() {
  const words = document.getElementById("filter").value.trim().toLowerCase();
  const sorted = latest.slice().sort((a, b) => rank(a) - rank(b) || a.name.localeCompare(b.name));
  const main = document.getElementById("cards");
  for (const p of sorted) {
    const c = card(p.name);
    const text = (p.name + " " + p.label + " " + p.message + " " + p.severity).toLowerCase();
    c.root.hidden = words !== "" && !text.includes(words);
    main.appendChild(c.root);  // moves it into place
  }
}

function card(name) {
  let c = cards.get(name);
  if (c) return c;
  const root = document.createElement("section");
  root.className = "card";
  root.dataset.printer = name;
  root.innerHTML = '<span class="severity"></span><h2></h2><img alt=""><p class="label"></p>' +
                   '<p class="message"></p><div class="supplies"></div><p class="when"></p>';
  root.querySelector("h2").textContent = name;
  document.getElementById("cards").appendChild(root);
  c = { root, picture: -1, key: "" };
  cards.set(name, c);
  return c;
}

const COLOURS = { black: "#212121", cyan: "#00acc1", magenta: "#d81b60", yellow: "#fdd835" };

// One bar per supply, its width the level (a waste bottle: how full it is).
function showSupplies(box, supplies) {
  box.replaceChildren();
  for (const s of supplies) {
    const name = document.createElement("span");
    name.textContent = s.name + (s.levelPercent === null ? "" : " " + s.levelPercent + " %");
    const bar = document.createElement("span");
    bar.className = "bar " + s.state;
    bar.title = s.state;
    const fill = document.createElement("span");
    fill.style.width = (s.levelPercent === null ? 0 : s.levelPercent) + "%";
    if (COLOURS[s.colour] && s.state === "ok") fill.style.background = COLOURS[s.colour];
    bar.appendChild(fill);
    box.append(name, bar);
  }
}

function show(p) {
  const c = card(p.name);
  const key = [p.polled, p.responded, p.severity, p.label, p.message, JSON.stringify(p.supplies)].join("\u0000");
  if (p.picture !== c.picture) {
    c.root.querySelector("img").src = "printers/" + encodeURIComponent(p.name) + "/status.png?v=" + p.picture;
    c.root.querySelector("img").alt = p.label;
    c.picture = p.picture;
  }
  if (key !== c.key) {
    c.root.querySelector(".label").textContent = p.polled ? p.label : "…";
    c.root.querySelector(".message").textContent = p.message;
    for (const s of SEVERITIES) c.root.classList.toggle(s, p.polled && p.severity === s);
    c.root.querySelector(".severity").textContent = p.polled ? p.severity : "";
    showSupplies(c.root.querySelector(".supplies"), p.supplies || []);
    c.key = key;
  }
  const when = c.root.querySelector(".when");
  when.textContent = p.polled ? "polled " + new Date(p.lastPoll * 1000).toLocaleTimeString() : "";
  when.classList.toggle("error", !!p.lastError && p.polled);
  if (p.lastError && p.polled) when.textContent += " · " + p.lastError;
}

async function refresh() {
  try {
    const response = await fetch("api/cards", { cache: "no-store" });
    const printers = await response.json();
    printers.forEach(show);
    latest = printers;
    arrange();
    const attention = printers.filter(p => p.polled && p.severity !== "ok").length;
    const noun = n => n === 1 ? "printer" : "printers";
    document.getElementById("summary").textContent =
      attention + " of " + printers.length + " " + noun(printers.length) + " need" + (attention === 1 ? "s" : "") +
      " attention · " + new Date().toLocaleTimeString();
  } catch (e) {
    document.getElementById("summary").textContent = "service not reachable";
  }
}

document.getElementById("filter").addEventListener("input", arrange);
refresh();
setInterval(refresh, 2000);
</script>
</body>
</html>
)html";
}

}  // namespace patmon
