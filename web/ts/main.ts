// The page: one view of the definition, its commands and the keyboard.
// Presentation only: every edit, file and transfer goes through the core.
import { Core, type Cell } from "./core";
import { chooserFilters, HidTransport, isServed, KEYBOARD_VENDOR, yieldToBrowser } from "./hid_transport";
import { usageOfCode } from "./keymap";
import { Matrix, showPicture } from "./matrix";

const $ = <T extends HTMLElement = HTMLElement>(id: string) => document.getElementById(id) as T;
const status = $("status");
const hid = new HidTransport();
let core: Core;
let doc: any = null; // the definition's JSON document as the core last gave it
let saved = "";
const undo: string[] = [];
const redo: string[] = [];
let busy = false;
let layer = 0;
let selected = { row: 0, column: 0 };
let cells: Cell[] = [];
let catalogue: { name: string; label: string; page: number; usage: number }[] = [];
const matrix = new Matrix($("matrix"), (row, column) => select(row, column), () => $("key-name").focus());

function say(text: string): void {
  const shown = core ? core.takeMessages().map((m) => (m.caption ? `${m.caption}: ${m.text}` : m.text)) : [];
  status.textContent = [...shown, text].filter(Boolean).join("\n");
}

function refresh(): void {
  const text = core.document();
  if (text) doc = JSON.parse(text);
  const dirty = text !== saved;
  $("unsaved").hidden = !dirty;
  document.title = (dirty ? "* " : "") + "Quillan";
  cells = core.cells(editedCell());
  matrix.render(cells, (r, c) => core.cellToolTip(r, c));
  core.ledPictures().forEach((picture, i) => showPicture($(`led${i + 1}-picture`), picture));
  showSettings();
  showKey();
  showStrings();
  ($("undo") as HTMLButtonElement).disabled = undo.length === 0;
  ($("redo") as HTMLButtonElement).disabled = redo.length === 0;
}

// Runs an edit with an undo step; the core's refusal is shown as it words it.
function change(what: () => boolean | number, done = ""): void {
  const before = core.document();
  const ok = what();
  if (ok === true || ok === 1) {
    if (core.document() !== before) {
      undo.push(before);
      redo.length = 0;
    }
    say(done);
  } else say("");
  refresh();
}
const edit = (...words: (string | number)[]) => change(() => core.edit(words.map(String)));

function stepHistory(from: string[], to: string[]): void {
  const state = from.pop();
  if (state === undefined) return;
  to.push(core.document());
  core.apply(state);
  say("");
  refresh();
}

// --- files -------------------------------------------------------------------

async function offer(name: string, bytes: Uint8Array, type = "application/octet-stream"): Promise<void> {
  const picker = (window as any).showSaveFilePicker;
  if (picker && !navigator.webdriver) {
    try {
      const handle = await picker({ suggestedName: name });
      const out = await handle.createWritable();
      await out.write(bytes);
      await out.close();
      return;
    } catch (e) {
      if ((e as Error).name === "AbortError") return;
    }
  }
  const a = document.createElement("a");
  a.href = URL.createObjectURL(new Blob([bytes], { type }));
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

function settingsName(): string {
  const name = (doc?.settings?.["file name"] as string) || "in.dat";
  return name.includes(".") ? name : name + ".dat";
}

async function openFile(file: File): Promise<void> {
  if (!keepChanges()) return;
  const name = file.name.replace(/[\\/]/g, "_") || "in.dat";
  core.writeFile(name, new Uint8Array(await file.arrayBuffer()));
  if (core.load(name)) {
    undo.length = redo.length = 0;
    saved = core.document();
    say(`Loaded ${file.name}`);
  } else say("");
  core.remove(name);
  refresh();
}

function keepChanges(): boolean {
  return core.document() === saved || confirm("The definition has changed. Discard the changes?");
}

// --- settings ------------------------------------------------------------------

const settingFields: [string, string][] = [
  ["standard repeat", "set-standard-repeat"], ["global repeat disable", "set-global-repeat"],
  ["any key release disables repeat", "set-any-release"], ["repeat delay", "set-delay"],
  ["repeat rate", "set-rate"], ["debounce", "set-debounce"], ["max scan rows", "set-scan-rows"],
  ["prefix make/break", "set-prefix"], ["pointing device", "set-pointing"], ["beep length", "set-beep"],
  ["file name", "set-file-name"], ["serial number", "set-serial"],
];

function showSettings(): void {
  const s = doc.settings;
  for (const [field, id] of settingFields) {
    const el = $<HTMLInputElement>(id);
    if (el.type === "checkbox") el.checked = !!s[field];
    else if (document.activeElement !== el) el.value = String(s[field]);
  }
  s.leds.forEach((v: string, i: number) => ($<HTMLSelectElement>(`set-led${i + 1}`).value = v));
  $<HTMLInputElement>("set-enable-keyboard").checked = s.enable.includes("keyboard");
  $<HTMLInputElement>("set-enable-pointing").checked = s.enable.includes("pointing device");
  const block = $<HTMLInputElement>("set-pointing-block");
  if (document.activeElement !== block) block.value = s["pointing block"].join(" ");
}

function applySetting(mutate: (s: any) => void): void {
  change(() => {
    const next = JSON.parse(core.document());
    mutate(next.settings);
    return core.apply(JSON.stringify(next));
  });
}

function wireSettings(): void {
  for (const [field, id] of settingFields) {
    const el = $<HTMLInputElement>(id);
    el.addEventListener("change", () =>
      applySetting((s) => {
        s[field] = el.type === "checkbox" ? el.checked : el.type === "number" ? Number(el.value) : el.value;
      }),
    );
  }
  for (let i = 0; i < 4; ++i) {
    const el = $<HTMLSelectElement>(`set-led${i + 1}`);
    el.addEventListener("change", () => applySetting((s) => (s.leds[i] = el.value)));
  }
  const enable = () =>
    applySetting((s) => {
      s.enable = [];
      if ($<HTMLInputElement>("set-enable-keyboard").checked) s.enable.push("keyboard");
      if ($<HTMLInputElement>("set-enable-pointing").checked) s.enable.push("pointing device");
    });
  $("set-enable-keyboard").addEventListener("change", enable);
  $("set-enable-pointing").addEventListener("change", enable);
  const block = $<HTMLInputElement>("set-pointing-block");
  block.addEventListener("change", () =>
    applySetting((s) => (s["pointing block"] = block.value.trim().split(/[\s,]+/).map(Number))),
  );
}

function fillChoices(): void {
  const [delays, rates, pointing, leds, layers] = core.choices();
  const fill = (id: string, list: string[], values = list) =>
    ($(id).innerHTML = list.map((t, i) => `<option value="${values[i]}">${t}</option>`).join(""));
  fill("set-delay", delays);
  fill("set-rate", rates);
  fill("set-pointing", pointing);
  for (let i = 1; i <= 4; ++i) fill(`set-led${i}`, leds);
  fill("layer", layers, layers.map((_, i) => String(i)));
  $("key-names").innerHTML = catalogue
    .map((k) => `<option value="${k.name}">${k.label ? `${k.name} (${k.label})` : k.name}</option>`)
    .join("");
}

// --- key editor ----------------------------------------------------------------

function select(row: number, column: number): void {
  selected = { row, column };
  showKey();
}

// While the key editor holds the focus its cell shows the picture of a key
// being edited, as the desktop's cell does while its Key Settings are open.
let editing = false;
const editedCell = () => (editing ? selected.row * 8 + selected.column : -1);
function setEditing(now: boolean): void {
  if (now === editing) return;
  editing = now;
  matrix.showPictures(core.cells(editedCell()));
}

function showKey(): void {
  const { row, column } = selected;
  const key = cells[row * 8 + column];
  $("key-title").textContent = `Key Settings: row ${row}, column ${column}`;
  $<HTMLInputElement>("key-used").checked = key.used;
  $<HTMLInputElement>("key-enabled").checked = key.enabled;
  const legend = $<HTMLInputElement>("key-legend");
  if (document.activeElement !== legend) legend.value = key.legend;
  $<HTMLInputElement>("layer-used").checked = key.layers[layer];
  $("layer-lines").textContent = core.layerLines(row, column, layer).join("\n") || "No Key";
}

function modesWord(): string {
  const picked = ["alt", "ctrl", "shift", "base", "repeat-off", "altgr"].filter(
    (m) => $<HTMLInputElement>(`mode-${m}`).checked,
  );
  return picked.length ? picked.join(",") : "-";
}

function assignKey(name: string): void {
  const { row, column } = selected;
  edit("key", row, column, layer, name, modesWord());
}

let pressToAssign = false;
function wireKeyEditor(): void {
  const editor = $("key-title").closest("section")!;
  editor.addEventListener("focusin", () => setEditing(true));
  editor.addEventListener("focusout", (e) => setEditing(editor.contains(e.relatedTarget as Node)));
  const cell = () => [selected.row, selected.column] as const;
  $("key-used").addEventListener("change", (e) => edit("used", ...cell(), (e.target as HTMLInputElement).checked ? 1 : 0));
  $("key-enabled").addEventListener("change", (e) => edit("enabled", ...cell(), (e.target as HTMLInputElement).checked ? 1 : 0));
  $("key-legend").addEventListener("change", (e) => edit("legend", ...cell(), (e.target as HTMLInputElement).value));
  $("layer-used").addEventListener("change", (e) => edit("layer", ...cell(), layer, (e.target as HTMLInputElement).checked ? 1 : 0));
  $("assign-key").addEventListener("click", () => assignKey($<HTMLInputElement>("key-name").value));
  $("no-key").addEventListener("click", () => edit("none", ...cell(), layer));
  $("type-text").addEventListener("click", () => edit("type", ...cell(), layer, $<HTMLInputElement>("key-text").value));
  $("assign-string").addEventListener("click", () => {
    const s = pickedString();
    if (s >= 0) edit("assign-string", ...cell(), layer, s);
  });
  $("add-string").addEventListener("click", () => edit("string-add", $<HTMLInputElement>("string-text").value));
  $("delete-string").addEventListener("click", () => {
    const s = pickedString();
    if (s >= 0) edit("string-delete", s);
  });
  // A string is edited in place: its text field commits on change.
  $("string-list").addEventListener("change", (e) => {
    const input = e.target as HTMLInputElement;
    if (input.type === "text") edit("string-edit", input.dataset.string ?? "", input.value);
  });
  $("string-list").addEventListener("focusin", (e) => {
    const row = (e.target as HTMLElement).closest(".string-row");
    const radio = row?.querySelector<HTMLInputElement>("input[type=radio]");
    if (radio) radio.checked = true;
  });
  $("press-key").addEventListener("click", () => {
    pressToAssign = true;
    say("Press the key to assign");
  });
  window.addEventListener("keydown", (e) => {
    if (pressToAssign) {
      e.preventDefault();
      pressToAssign = false;
      const usage = usageOfCode(e.code);
      const row = usage && catalogue.find((k) => k.page === usage[0] && k.usage === usage[1]);
      if (row) assignKey(row.name);
      else say(`No catalogue key sends ${e.code}`);
      return;
    }
    if (testing) {
      e.preventDefault();
      const usage = usageOfCode(e.code);
      const row = usage && catalogue.find((k) => k.page === usage[0] && k.usage === usage[1]);
      const line = `${e.code}: ${row ? (row.label ? `${row.name} (${row.label})` : row.name) : "not in the catalogue"}`;
      $("test-log").textContent = `${line}\n${$("test-log").textContent}`;
      if (e.key === "Escape") stopTest();
      return;
    }
    // In a text field the keys undo and redo the typing, as in the
    // desktop's fields; elsewhere they step through the definition's history.
    const t = e.target;
    if (t instanceof HTMLTextAreaElement || (t instanceof HTMLInputElement && /^(text|number|search)$/.test(t.type))) return;
    const ctrl = e.ctrlKey || e.metaKey;
    if (ctrl && e.key.toLowerCase() === "z" && !e.shiftKey) { e.preventDefault(); stepHistory(undo, redo); }
    else if (ctrl && (e.key.toLowerCase() === "y" || (e.key.toLowerCase() === "z" && e.shiftKey))) { e.preventDefault(); stepHistory(redo, undo); }
  });
}

// The string list: one row a string, a choice for Assign and Delete and its
// text, editable in place. Rows are rebuilt only when their number changes,
// so a text being edited (or refused) stays as typed.
function showStrings(): void {
  const list = $("string-list");
  const texts = core.strings();
  if (list.children.length !== texts.length) {
    const picked = pickedString();
    list.replaceChildren(...texts.map((_, i) => stringRow(i)));
    const radio = list.querySelectorAll<HTMLInputElement>("input[type=radio]")[Math.min(picked, texts.length - 1)];
    if (radio) radio.checked = true;
  }
  list.querySelectorAll<HTMLInputElement>("input[type=text]").forEach((input, i) => {
    if (document.activeElement !== input) input.value = texts[i];
  });
}

function stringRow(i: number): HTMLElement {
  const row = document.createElement("div");
  row.className = "string-row";
  const radio = Object.assign(document.createElement("input"), { type: "radio", name: "string", value: String(i) });
  radio.setAttribute("aria-label", `String ${i}`);
  const text = Object.assign(document.createElement("input"), { type: "text", spellcheck: false });
  text.dataset.string = String(i);
  text.setAttribute("aria-label", `Text of string ${i}`);
  const number = Object.assign(document.createElement("span"), { textContent: `${i}:`, ariaHidden: "true" });
  row.append(radio, number, text);
  return row;
}

function pickedString(): number {
  const radio = $("string-list").querySelector<HTMLInputElement>("input[type=radio]:checked");
  return radio ? Number(radio.value) : -1;
}

// --- keyboard ------------------------------------------------------------------

async function withDevice(command: string, run: () => Promise<string>): Promise<void> {
  if (busy) return;
  const devices = await hid.refresh();
  if (devices.some((d) => d.vendorId === KEYBOARD_VENDOR) && !readVersion()) {
    say(`${command}: the browser does not tell the keyboard's version number (its USB device release); enter it under "Keyboard version" first.`);
    return;
  }
  busy = true;
  document.body.classList.add("busy");
  try {
    // The click's task ends here (the busy page is painted); the core's
    // work starts in a task of its own.
    await yieldToBrowser();
    say(await run());
  } catch (e) {
    say(`${command}: ${(e as Error).message ?? e}`);
  } finally {
    busy = false;
    document.body.classList.remove("busy");
    ($("progress") as HTMLProgressElement).value = 0;
  }
}

function readVersion(): number {
  const n = Number($<HTMLInputElement>("keyboard-version").value);
  hid.keyboardVersion = Number.isInteger(n) && n > 0 && n <= 9999 ? n : 0;
  return hid.keyboardVersion;
}

function wireKeyboard(): void {
  $("connect").addEventListener("click", async () => {
    if (!navigator.hid) return say("This browser has no WebHID: use Chrome or Edge on a desktop system.");
    try {
      const picked = await navigator.hid.requestDevice({ filters: chooserFilters });
      say(picked.filter(isServed).length ? `Connected: ${picked[0].productName || "keyboard"}` : "No keyboard chosen");
    } catch (e) {
      say(`Connect: ${(e as Error).message}`);
    }
  });
  $("presence").addEventListener("click", () =>
    withDevice("Check keyboard presence", async () => (await core.presence()) || "No Keyboard Found!"),
  );
  $("program").addEventListener("click", () =>
    withDevice("Program Keyboard", async () => core.program(true)),
  );
  $("read").addEventListener("click", () =>
    withDevice("Read Keyboard EEProm", async () => {
      const before = core.document();
      const version = await core.read();
      if (!version) return "";
      undo.push(before);
      redo.length = 0;
      refresh();
      await offer("eepraw.txt", core.readFile("eepraw.txt"), "text/plain");
      return `Keyboard read ! ${version.trim()}`;
    }),
  );
  core.onProgress = (range, position) => {
    const bar = $("progress") as HTMLProgressElement;
    bar.max = range || 1;
    bar.value = position;
  };
  navigator.hid?.addEventListener("connect", () => say("Keyboard plugged in"));
  navigator.hid?.addEventListener("disconnect", () => { if (!busy) say("Keyboard unplugged"); });
}

let testing = false;
function stopTest(): void {
  testing = false;
  $("test-panel").hidden = true;
  $("test").focus();
}

// --- start -----------------------------------------------------------------------

async function start(): Promise<void> {
  core = await Core.load(hid);
  catalogue = core.catalogue();
  fillChoices();
  const params = new URLSearchParams(location.search);
  if (params.get("keyboardVersion")) $<HTMLInputElement>("keyboard-version").value = params.get("keyboardVersion")!;
  $("keyboard-version").addEventListener("change", readVersion);
  readVersion();
  saved = core.document();
  refresh();
  wireSettings();
  wireKeyEditor();
  wireKeyboard();
  $("layer").addEventListener("change", (e) => {
    layer = Number((e.target as HTMLSelectElement).value);
    refresh();
  });
  $("new").addEventListener("click", () => {
    if (!keepChanges()) return;
    core.newDefinition();
    undo.length = redo.length = 0;
    saved = core.document();
    say("New definition");
    refresh();
  });
  $("load").addEventListener("change", async (e) => {
    const input = e.target as HTMLInputElement;
    if (input.files?.[0]) await openFile(input.files[0]);
    input.value = "";
  });
  document.addEventListener("dragover", (e) => e.preventDefault());
  document.addEventListener("drop", async (e) => {
    e.preventDefault();
    const file = e.dataTransfer?.files[0];
    if (file) await openFile(file);
  });
  $("save").addEventListener("click", async () => {
    const name = settingsName();
    if (!core.save(name)) return say("");
    saved = core.document();
    refresh();
    await offer(name, core.readFile(name));
    say(`Saved ${name}`);
  });
  $("export").addEventListener("click", async () => {
    const text = core.document();
    if (!text) return say("");
    await offer(settingsName().replace(/\.[^.]*$/, "") + ".json", new TextEncoder().encode(text), "application/json");
    say("Exported as JSON");
  });
  $("undo").addEventListener("click", () => stepHistory(undo, redo));
  $("redo").addEventListener("click", () => stepHistory(redo, undo));
  $("generate").addEventListener("click", async () => {
    if (!core.build()) return say("");
    await offer("EEPkey.bin", core.readFile("EEPkey.bin"));
    await offer("EEPkey.txt", core.readFile("EEPkey.txt"), "text/plain");
    say("Generated EEPkey.bin and EEPkey.txt");
  });
  $("test").addEventListener("click", () => {
    testing = true;
    $("test-panel").hidden = false;
    $("test-log").textContent = "";
    $("test-panel").focus();
    say("Press keys of the keyboard; Escape ends the test");
  });
  $("test-close").addEventListener("click", stopTest);
  window.addEventListener("beforeunload", (e) => {
    if (core.document() !== saved) e.preventDefault();
  });
  if ("serviceWorker" in navigator && location.protocol !== "file:")
    navigator.serviceWorker.register("sw.js").catch(() => {});
  document.body.dataset.ready = "true";
  say("Ready");
}

void start();
