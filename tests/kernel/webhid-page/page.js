// Stand-in for the Quillan site in the real-kernel WebHID test: programs an
// image file into the keyboard through navigator.hid, verifies it, and reads
// it back, with the site's command names and its role=status results. It
// takes the keyboard's request reports (report ID 3: address, block, data
// [, AA]) as feature reports, or as output reports answered by input reports
// where the keyboard's vendor collection has no feature report.
"use strict";

const KEYBOARD_VENDOR = 0x04b4;
const REQUEST_ID = 3;
const READ_FLAG = 0x80;
const MARKER = 0xaa;
const TRANSFER_BYTES = 5120; // image bytes 0000..13FF
const GAP_MS = 2;
const ANSWER_TIMEOUT_MS = 1000;

const $ = (id) => document.getElementById(id);
const hex = (value, width) => value.toString(16).toUpperCase().padStart(width, "0");
let image = null;
let keyboard = null; // {device, path: "feature" | "output"}
let lastSend = 0;

function say(text) {
  $("status").textContent = text;
  console.log("status: " + text);
}

function wait(ms) {
  if (globalThis.scheduler && scheduler.postTask)
    return scheduler.postTask(() => {}, { delay: ms });
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// The collection that carries the requests decides how they travel.
function requestPath(device) {
  for (const c of device.collections) {
    if (c.featureReports.some((r) => r.reportId === REQUEST_ID)) return "feature";
    if (c.outputReports.some((r) => r.reportId === REQUEST_ID) &&
        c.inputReports.some((r) => r.reportId === REQUEST_ID))
      return "output";
  }
  return null;
}

async function findKeyboard() {
  for (const device of await navigator.hid.getDevices()) {
    const path = device.vendorId === KEYBOARD_VENDOR ? requestPath(device) : null;
    if (!path) continue;
    if (!device.opened) await device.open();
    keyboard = { device, path };
    say(`Keyboard ${hex(device.productId, 4)} ready (${path} reports)`);
    break;
  }
  $("read").disabled = !keyboard;
  $("program").disabled = !keyboard || !image;
}

async function pause() {
  const left = lastSend + GAP_MS - performance.now();
  if (left > 0) await wait(left);
}

function nextInputReport(device) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      device.removeEventListener("inputreport", onReport);
      reject(new Error("no answer within " + ANSWER_TIMEOUT_MS + " ms"));
    }, ANSWER_TIMEOUT_MS);
    function onReport(event) {
      if (event.reportId !== REQUEST_ID) return;
      clearTimeout(timer);
      device.removeEventListener("inputreport", onReport);
      resolve(event.data);
    }
    device.addEventListener("inputreport", onReport);
  });
}

async function request(address, block, data) {
  await pause();
  const { device, path } = keyboard;
  const reading = (block & READ_FLAG) !== 0;
  let answer = null;
  if (path === "feature") {
    await device.sendFeatureReport(REQUEST_ID, Uint8Array.of(address, block, data, MARKER));
    if (reading) answer = await device.receiveFeatureReport(REQUEST_ID);
  } else {
    const input = reading ? nextInputReport(device) : null;
    await device.sendReport(REQUEST_ID, Uint8Array.of(address, block, data));
    if (reading) answer = await input;
  }
  lastSend = performance.now();
  if (!reading) return 0;
  // A feature answer of five bytes starts with the report ID; input reports
  // come without it.
  const at = path === "feature" && answer.byteLength === 5 ? 1 : 0;
  if (answer.byteLength < at + 3 || answer.getUint8(at) !== address)
    throw new Error(`answer ${hex(answer.byteLength, 2)} bytes for ${hex(block, 2)}${hex(address, 2)}`);
  return answer.getUint8(at + 2);
}

// The progress bar and the status move once a block: drawing the page is
// the slowest thing a busy machine does.
function blockDone(what, n) {
  if (n % 256 !== 255) return;
  $("progress").value = n + 1;
  say(`${what}: block ${(n >> 8) + 1} of ${TRANSFER_BYTES / 256}`);
}

async function readAll(what) {
  const bytes = new Uint8Array(TRANSFER_BYTES);
  for (let n = 0; n < TRANSFER_BYTES; ++n) {
    bytes[n] = await request(n % 256, (n >> 8) | READ_FLAG, 0);
    blockDone(what, n);
  }
  return bytes;
}

async function program() {
  const started = performance.now();
  for (let n = 0; n < TRANSFER_BYTES; ++n) {
    await request(n % 256, n >> 8, image[n]);
    blockDone("Programming", n);
  }
  const back = await readAll("Verifying");
  for (let n = 0; n < TRANSFER_BYTES; ++n)
    if (back[n] !== image[n])
      return say(`Verify failed at ${hex(n, 4)}: wrote ${hex(image[n], 2)}, read ${hex(back[n], 2)}`);
  say(`Keyboard programmed in ${((performance.now() - started) / 1000).toFixed(1)} s, verified`);
}

async function read() {
  const bytes = await readAll("Reading");
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  link.download = "readback.bin";
  link.click();
  say(`Read ${bytes.length} bytes from the keyboard`);
}

// Runs one command with the other commands off; any failure ends in status.
async function command(what, run) {
  for (const id of ["program", "read"]) $(id).disabled = true;
  try {
    await run();
  } catch (error) {
    say(`${what} failed: ${error.message || error}`);
  }
  $("read").disabled = !keyboard;
  $("program").disabled = !keyboard || !image;
}

$("load").addEventListener("change", async () => {
  const file = $("load").files[0];
  const bytes = new Uint8Array(await file.arrayBuffer());
  image = bytes.length >= TRANSFER_BYTES ? bytes : null;
  say(image ? `Loaded ${file.name}` : `${file.name} is not an image file`);
  $("program").disabled = !keyboard || !image;
});
$("program").addEventListener("click", () => command("Programming", program));
$("read").addEventListener("click", () => command("Reading", read));
if (!navigator.hid) {
  say("This browser has no WebHID");
} else {
  navigator.hid.addEventListener("connect", () => keyboard || findKeyboard());
  findKeyboard().catch((error) => say(`Opening the keyboard failed: ${error.message}`));
}
