#include "web/web_page.h"

namespace {

// The picture is a canvas of the display's size, scaled to the page's width with sharp pixels.
// The frame stream is a series of records (4-byte length, 2-byte row, PNG) that are drawn in
// order at their row; a record of length 0 only says the program is still there. When the
// stream ends or stays silent, the page says so and connects again by itself.
constexpr const char* kPage = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>VeltraDesktop</title>
<style>
html,body{margin:0;padding:0;background:#202020;color:#e0e0e0;font:14px sans-serif}
#box{position:relative;width:100%;max-width:calc((100vh - 2.5em)*800/480);margin:0 auto}
canvas{display:block;width:100%;height:auto;image-rendering:crisp-edges;image-rendering:pixelated;
touch-action:none;user-select:none;-webkit-user-select:none}
#lost{display:none;position:absolute;left:0;top:0;right:0;padding:8px;text-align:center;
background:rgba(160,0,0,.85);color:#fff;font-weight:bold}
#note{height:1.5em;line-height:1.5em;padding:0 8px;text-align:center;color:#a0a0a0;
overflow:hidden;white-space:nowrap;text-overflow:ellipsis}
</style></head><body>
<div id="box"><canvas id="screen" width="800" height="480"></canvas>
<div id="lost">Connection to the program lost - trying again...</div></div>
<div id="note"></div>
<script>
"use strict";
const CONTROL = @CONTROL@;
const token = new URLSearchParams(location.search).get("token") || "";
const auth = {"Authorization": "Bearer " + token};
const canvas = document.getElementById("screen");
const ctx = canvas.getContext("2d");
const lost = document.getElementById("lost");
document.getElementById("note").textContent = CONTROL ?
  "Presses on the picture reach the display." :
  "View only: presses on the picture are turned off (CONTROL=1 in section WEB allows them).";
let frames = 0;

function showLost(on) { lost.style.display = on ? "block" : "none"; }

async function drawRecord(bytes) {
  const row = (bytes[0] << 8) | bytes[1];
  const blob = new Blob([bytes.subarray(2)], {type: "image/png"});
  const bitmap = await createImageBitmap(blob, {colorSpaceConversion: "none",
                                                premultiplyAlpha: "none"});
  ctx.drawImage(bitmap, 0, row);
  bitmap.close();
  frames++;
  canvas.dataset.frames = String(frames);
}

async function watch() {
  const controller = new AbortController();
  let silence = null;
  const arm = () => { clearTimeout(silence); silence = setTimeout(() => controller.abort(), 15000); };
  try {
    arm();
    const response = await fetch("stream", {headers: auth, cache: "no-store",
                                            signal: controller.signal});
    if (!response.ok) throw new Error("status " + response.status);
    const reader = response.body.getReader();
    let pending = new Uint8Array(0);
    let first = true;
    for (;;) {
      const {done, value} = await reader.read();
      if (done) break;
      arm();
      const joined = new Uint8Array(pending.length + value.length);
      joined.set(pending); joined.set(value, pending.length);
      pending = joined;
      let at = 0;
      while (pending.length - at >= 4) {
        const length = ((pending[at] << 24) >>> 0) + (pending[at + 1] << 16) +
                       (pending[at + 2] << 8) + pending[at + 3];
        if (pending.length - at - 4 < length) break;
        if (length > 0) await drawRecord(pending.subarray(at + 4, at + 4 + length));
        if (first) { showLost(false); first = false; }
        at += 4 + length;
      }
      pending = pending.slice(at);
    }
  } catch (e) {
  }
  clearTimeout(silence);
  showLost(true);
  setTimeout(watch, 2000);
}

// Presses go out one at a time in order; moves that pile up while one is on its way are
// joined into the newest.
const queue = [];
let sending = false;
function send(x, y, pressed, move) {
  const last = queue[queue.length - 1];
  if (move && last && last.move) queue.pop();
  const item = [x, y, pressed];
  item.move = move;
  queue.push(item);
  if (!sending) pump();
}
async function pump() {
  sending = true;
  while (queue.length) {
    const [x, y, pressed] = queue.shift();
    try {
      await fetch("input", {method: "POST", headers: auth, body: x + " " + y + " " + pressed});
    } catch (e) { queue.length = 0; }
  }
  sending = false;
}
function place(event) {
  const box = canvas.getBoundingClientRect();
  const x = Math.floor((event.clientX - box.left) * 800 / box.width);
  const y = Math.floor((event.clientY - box.top) * 480 / box.height);
  return [Math.min(799, Math.max(0, x)), Math.min(479, Math.max(0, y))];
}
if (CONTROL) {
  let down = false;
  canvas.addEventListener("pointerdown", (event) => {
    if (event.button !== 0) return;
    down = true;
    canvas.setPointerCapture(event.pointerId);
    const [x, y] = place(event);
    send(x, y, 1, false);
    event.preventDefault();
  });
  canvas.addEventListener("pointermove", (event) => {
    if (!down) return;
    const [x, y] = place(event);
    send(x, y, 1, true);
    event.preventDefault();
  });
  const release = (event) => {
    if (!down) return;
    down = false;
    const [x, y] = place(event);
    send(x, y, 0, false);
    event.preventDefault();
  };
  canvas.addEventListener("pointerup", release);
  canvas.addEventListener("pointercancel", release);
  canvas.addEventListener("contextmenu", (event) => event.preventDefault());
}
watch();
</script></body></html>
)PAGE";

} // namespace

std::string WEBPAGE_Html(bool control) {
    std::string page = kPage;
    const std::string marker = "@CONTROL@";
    page.replace(page.find(marker), marker.size(), control ? "true" : "false");
    return page;
}
