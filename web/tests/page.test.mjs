// The page in Chromium against the navigator.hid double: files, editing,
// the matrix grid, accessibility, and programming every product.
import { test, expect } from "@playwright/test";
import AxeBuilder from "@axe-core/playwright";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";

const nativeCli = path.resolve(process.env.QUILLAN_CLI ?? "../build/cli/quillan-cli");
const status = (page) => page.getByRole("status");
const button = (page, name) => page.getByRole("button", { name, exact: true });

async function open(page, query = "?keyboardVersion=1") {
  await page.addInitScript({ path: "tests/hid_double.js" });
  await page.goto(`/${query}`);
  await expect(page.locator("body[data-ready=true]")).toBeVisible();
}

async function download(page, click) {
  const [d] = await Promise.all([page.waitForEvent("download"), click()]);
  return { name: d.suggestedFilename(), bytes: fs.readFileSync(await d.path()) };
}

// A few edits through the key editor, as a keyboard maker makes them.
async function editSome(page) {
  await page.getByRole("gridcell", { name: "Row 2, column 3:" }).click();
  await page.getByLabel("This key is used").check();
  await page.getByLabel("Legend").fill("Q");
  await page.getByLabel("Legend").press("Tab");
  await page.getByLabel("Key", { exact: true }).fill("IBM Key 17");
  await button(page, "Assign key").click();
  await page.getByLabel("New string").fill("hello");
  await button(page, "Add string").click();
}

test("matrix grid, keyboard operation and accessibility", async ({ page }) => {
  await open(page);
  await expect(page.getByRole("gridcell")).toHaveCount(128);
  const first = page.getByRole("gridcell", { name: "Row 0, column 0:" });
  await first.click();
  for (const [key, name] of [["ArrowDown", "Row 1, column 0:"], ["ArrowRight", "Row 1, column 1:"],
    ["ArrowUp", "Row 0, column 1:"], ["ArrowLeft", "Row 0, column 0:"]]) {
    await page.keyboard.press(key);
    await expect(page.getByRole("gridcell", { name: new RegExp(`^${name}`) })).toBeFocused();
  }
  await page.keyboard.press("Enter");
  await expect(page.getByLabel("Key", { exact: true })).toBeFocused();
  for (const name of ["New", "Save settings to file", "Generate EEPROM File", "Program Keyboard",
    "Read Keyboard EEProm", "Check keyboard presence", "Test keyboard"])
    await expect(button(page, name)).toBeVisible();
  await expect(page.getByLabel("Load settings from file")).toBeVisible();
  // The views: the matrix with a key in the editor, strings in the list,
  // the settings, and the key test.
  const violations = async () => (await new AxeBuilder({ page })
    .withTags(["wcag2a", "wcag2aa", "wcag21a", "wcag21aa"]).analyze()).violations.map((v) => `${v.id}: ${v.nodes.length}`);
  expect(await violations()).toEqual([]);
  await editSome(page);
  await page.getByLabel("Text of string 0").focus(); // the edited cell's picture
  expect(await violations()).toEqual([]);
  await button(page, "Test keyboard").click();
  expect(await violations()).toEqual([]);
});

test("edit, undo and redo, unsaved mark, save and load again", async ({ page }) => {
  await open(page);
  await expect(page.locator("#unsaved")).toBeHidden();
  // In a text field Ctrl+Z is the field's own: the definition stays.
  await page.getByRole("gridcell", { name: "Row 0, column 0:" }).click();
  await page.getByLabel("Legend").fill("Z");
  await page.getByLabel("Legend").press("Tab");
  await page.getByLabel("New string").fill("abc");
  await page.getByLabel("New string").press("Control+z");
  await expect(page.getByRole("gridcell", { name: "Row 0, column 0: Z" })).toBeVisible();
  await editSome(page);
  await expect(page.getByRole("gridcell", { name: "Row 2, column 3: Q" })).toBeVisible();
  // The tooltip is the desktop's: every used layer, whichever layer is shown.
  await page.locator("#layer").selectOption("1");
  await expect(page.getByRole("gridcell", { name: "Row 2, column 3: Q" }))
    .toHaveAttribute("title", /^Row 2, column 3\nLegend: Q\nNo Fn1 \/ No Fn2: IBM Key 17\b/);
  await page.locator("#layer").selectOption("0");
  await expect(page.locator("#unsaved")).toBeVisible();
  await page.locator("body").press("Control+z"); // the string
  await page.locator("body").press("Control+z"); // the key
  await expect(page.locator("#layer-lines")).toHaveText("No Key");
  await page.locator("body").press("Control+y");
  await expect(page.locator("#layer-lines")).toContainText("IBM Key 17");
  await page.locator("body").press("Control+Shift+z");
  const saved = await download(page, () => button(page, "Save settings to file").click());
  expect(saved.bytes.length).toBe(20624);
  await expect(page.locator("#unsaved")).toBeHidden();
  await button(page, "New").click();
  await expect(page.getByRole("gridcell", { name: "Row 2, column 3: Nothing", exact: true })).toBeVisible();
  await page.getByLabel("Load settings from file").setInputFiles({ name: "q.dat", mimeType: "application/octet-stream", buffer: saved.bytes });
  await expect(page.getByRole("gridcell", { name: "Row 2, column 3: Q" })).toBeVisible();
  await expect(status(page)).toContainText("Loaded q.dat");
  // A JSON definition loads through the same input; a refused one says why.
  const json = await download(page, () => button(page, "Export as JSON").click());
  await page.getByLabel("Load settings from file").setInputFiles({ name: "q.json", mimeType: "application/json", buffer: json.bytes });
  await expect(page.getByRole("gridcell", { name: "Row 2, column 3: Q" })).toBeVisible();
  await page.getByLabel("Load settings from file").setInputFiles({ name: "bad.json", mimeType: "application/json", buffer: Buffer.from('{"format": "x"}') });
  await expect(status(page)).toContainText("Import JSON");
});

test("settings are edited through the core and refused as it refuses", async ({ page }) => {
  await open(page);
  await page.getByLabel("Debounce time").fill("12");
  await page.getByLabel("Debounce time").press("Tab");
  await page.getByLabel("Default repeat rate:").selectOption("120 mS");
  await page.getByLabel("LED 2").selectOption("Caps Lock LED");
  await page.getByLabel("Serial number:").fill("SN-7");
  await page.getByLabel("Serial number:").press("Tab");
  const json = JSON.parse((await download(page, () => button(page, "Export as JSON").click())).bytes.toString());
  expect(json.settings).toMatchObject({ debounce: 12, "repeat rate": "120 mS", "serial number": "SN-7" });
  expect(json.settings.leds[1]).toBe("Caps Lock LED");
  await page.getByLabel("Max scan rows").fill("40");
  await page.getByLabel("Max scan rows").press("Tab");
  await expect(status(page)).toContainText("max scan rows");
});

test("Generate EEPROM File gives the bytes quillan-cli build gives", async ({ page }) => {
  test.skip(!fs.existsSync(nativeCli), "native quillan-cli not built");
  await open(page);
  await editSome(page);
  const saved = await download(page, () => button(page, "Save settings to file").click());
  const bin = await download(page, () => button(page, "Generate EEPROM File").click());
  expect(bin.name).toBe("EEPkey.bin");
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), "quillan-page-"));
  fs.writeFileSync(path.join(dir, saved.name), saved.bytes);
  execFileSync(nativeCli, ["build", saved.name], { cwd: dir, stdio: "ignore" });
  expect(bin.bytes.equals(fs.readFileSync(path.join(dir, "EEPkey.bin")))).toBe(true);
  fs.rmSync(dir, { recursive: true });
});

const products = [
  { kind: "1000", label: "V0001" }, { kind: "1001", label: "V0001" }, { kind: "100A", label: "V0001" },
  { kind: "100B", label: "V0001" }, { kind: "100C", label: "V0001" },
  { kind: "programmer", label: "V0412", version: 412 },
];
for (const p of products) {
  test(`presence, program and verify: ${p.kind}`, async ({ page }) => {
    await open(page);
    await page.evaluate((p) => window.hidDouble.plug(p.kind, { version: p.version }), p);
    await button(page, "Check keyboard presence").click();
    await expect(status(page)).toHaveText(p.label);
    await editSome(page);
    const bin = await download(page, () => button(page, "Generate EEPROM File").click());
    await button(page, "Program Keyboard").click();
    const done = p.kind === "programmer" ? "not verified \\(programming device\\)" : "verified";
    await expect(status(page)).toContainText(new RegExp(`${p.label} programmed in \\d+\\.\\d s, ${done}`), { timeout: 60_000 });
    // Never a report sooner than the gap after the one before.
    const sends = await page.evaluate(() => window.hidDouble.unit.sendTimes);
    const gaps = sends.slice(1).map((t, i) => t - sends[i]);
    expect(Math.min(...gaps)).toBeGreaterThanOrEqual((p.kind === "programmer" ? 10 : 2) - 1e-6);
    const eeprom = Buffer.from(await page.evaluate(() => window.hidDouble.eeprom()));
    // The programming device takes the Prefix table in its own form.
    const compared = p.kind === "programmer" ? [[0, 0x400], [0x500, 0x1400]] : [[0, 0x1400]];
    for (const [from, to] of compared) expect(eeprom.subarray(from, to).equals(bin.bytes.subarray(from, to))).toBe(true);
  });
}

// The work of each main-thread task of the page while run() runs, in ms,
// longest first, from a Chromium trace. A busy machine stretches a task's
// wall time (what a PerformanceObserver of long tasks sees) by the time other
// processes hold the processor, and the thread clock here now and then
// charges a task more than its wall time; the work is at most either, so a
// task is taken at the smaller of the two. A task that works over 50 ms has
// both over 50 ms.
async function taskWork(browser, page, run) {
  const file = test.info().outputPath("trace.json");
  await browser.startTracing(page, { path: file, categories: ["toplevel"] });
  await run();
  await browser.stopTracing();
  const events = JSON.parse(fs.readFileSync(file, "utf8")).traceEvents;
  fs.rmSync(file);
  const mains = new Set(events.filter((e) => e.name === "thread_name" && e.args?.name === "CrRendererMain")
    .map((e) => `${e.pid}/${e.tid}`));
  return events.filter((e) => e.ph === "X" && e.name === "ThreadControllerImpl::RunTask" && mains.has(`${e.pid}/${e.tid}`))
    .map((e) => Math.min(e.dur, e.tdur ?? e.dur) / 1000).sort((a, b) => b - a);
}

for (const kind of ["1001", "programmer"]) {
  test(`no task works over 50 ms while a keyboard is programmed and verified: ${kind}`, async ({ page, browser }) => {
    await open(page);
    await page.evaluate((kind) => {
      window.hidDouble.plug(kind);
      window.longTasks = [];
      new PerformanceObserver((l) => window.longTasks.push(...l.getEntries().map((e) => Math.round(e.duration)))).observe({ entryTypes: ["longtask"] });
    }, kind);
    const work = await taskWork(browser, page, async () => {
      await button(page, "Program Keyboard").click();
      await expect(status(page)).toContainText("verified", { timeout: 90_000 });
    });
    // The wall times, for the record: over 50 ms only when the machine was busy.
    test.info().annotations.push({ type: "long tasks (wall ms)", description: JSON.stringify(await page.evaluate(() => window.longTasks)) });
    expect(work.length).toBeGreaterThan(1000); // the trace saw the transfer
    expect(work[0]).toBeLessThanOrEqual(50);
  });
}

test("a keyboard that stores one byte wrongly fails verification", async ({ page }) => {
  await open(page);
  await page.evaluate(() => window.hidDouble.plug("1001", { corrupt: 0x123 }));
  await button(page, "Program Keyboard").click();
  await expect(status(page)).toContainText(/Verify failed at 0123: wrote [0-9A-F]{2}, read [0-9A-F]{2}/, { timeout: 60_000 });
});

test("a keyboard unplugged mid-download is reported as failed", async ({ page }) => {
  await open(page);
  await page.evaluate(() => window.hidDouble.plug("100B", { unplugAfter: 700 }));
  await button(page, "Program Keyboard").click();
  await expect(status(page)).toContainText("Programming failed", { timeout: 60_000 });
});

test("read back: the definition is replaced and eepraw.txt offered", async ({ page }) => {
  await open(page);
  const unit = await page.evaluate(() => { window.hidDouble.plug("100C"); return true; });
  expect(unit).toBe(true);
  await editSome(page);
  await button(page, "Program Keyboard").click();
  await expect(status(page)).toContainText("verified", { timeout: 60_000 });
  await button(page, "New").click();
  const raw = await download(page, () => button(page, "Read Keyboard EEProm").click());
  expect(raw.name).toBe("eepraw.txt");
  // A keyboard without a product string shows its version, as on the desktop.
  await expect(status(page)).toContainText("Keyboard read ! V0001");
  // The keyboard holds keys, not legends: the key comes back.
  await page.getByRole("gridcell", { name: /^Row 2, column 3:/ }).click();
  await expect(page.locator("#layer-lines")).toContainText("IBM Key 17");
});

test("no keyboard version: the page asks instead of guessing", async ({ page }) => {
  await open(page, "");
  await page.evaluate(() => window.hidDouble.plug("1001"));
  await button(page, "Check keyboard presence").click();
  await expect(status(page)).toContainText("Keyboard version");
  await page.evaluate(() => window.hidDouble.unplug());
  await page.getByLabel("Keyboard version").fill("3");
  await button(page, "Check keyboard presence").click();
  await expect(status(page)).toContainText("No Keyboard Found!");
});

test("press-to-assign and the key test", async ({ page }) => {
  await open(page);
  await page.getByRole("gridcell", { name: "Row 5, column 5:" }).click();
  await button(page, "Press to assign").click();
  await page.keyboard.press("KeyA");
  await expect(page.locator("#layer-lines")).toContainText("IBM Key 31");
  await button(page, "Test keyboard").click();
  await page.keyboard.press("KeyB");
  await expect(page.locator("#test-log")).toContainText("KeyB: IBM Key");
  await page.keyboard.press("Escape");
  await expect(page.locator("#test-panel")).toBeHidden();
});

// The desktop's pictures in the core's numbering, as the page shows them.
const picture = { sleeping: 0, greyCircle: 1, redCross: 2, greenTick: 3, mouse: 4, str: 5, note: 6,
  power: 7, edited: 8, greyLamp: 9, yellowLamp: 10 };
const shown = (locator) => locator.evaluate((e) => Number(e.style.getPropertyValue("--picture")));

test("cells and LEDs show the desktop's pictures of their state", async ({ page }) => {
  await open(page);
  const [width, height] = await page.evaluate(async () => {
    const strip = new Image();
    strip.src = "pictures.png";
    await strip.decode();
    return [strip.naturalWidth, strip.naturalHeight];
  });
  expect(width).toBe(11 * height);
  const cell = page.getByRole("gridcell", { name: /^Row 4, column 1:/ });
  const key = (name) => async () => {
    await page.getByLabel("Key", { exact: true }).fill(name);
    await button(page, "Assign key").click();
  };
  const steps = [
    [async () => {}, picture.redCross], // used, no key yet
    [() => page.getByLabel("This key is used").uncheck(), picture.greyCircle],
    [() => page.getByLabel("This key is used").check(), picture.redCross],
    [key("Left Mouse Button"), picture.mouse],
    [key("System power"), picture.power],
    [key("Next track"), picture.note],
    [key("IBM Key 31"), picture.greenTick],
    [async () => {
      await page.getByLabel("Text", { exact: true }).fill("ab");
      await button(page, "Type text").click();
    }, picture.str],
    [() => page.getByLabel("Enable Key", { exact: true }).uncheck(), picture.sleeping],
  ];
  for (const [step, expected] of steps) {
    await cell.click();
    await step();
    // While the key editor has the focus its cell shows the edited picture.
    if (await page.locator(".editor").evaluate((e) => e.contains(document.activeElement)))
      expect(await shown(cell.locator(".picture"))).toBe(picture.edited);
    await cell.click();
    expect(await shown(cell.locator(".picture"))).toBe(expected);
  }
  await page.getByLabel("LED 2").selectOption("Caps Lock LED");
  await expect.poll(() => shown(page.locator("#led2-picture"))).toBe(picture.yellowLamp);
});

test("strings are added, edited in place and deleted with the core's refusals", async ({ page }) => {
  await open(page);
  for (const text of ["one", "two"]) {
    await page.getByLabel("New string").fill(text);
    await button(page, "Add string").click();
  }
  const second = page.getByLabel("Text of string 1");
  await expect(second).toHaveValue("two");
  await second.fill("TWO");
  await second.press("Enter");
  await page.getByRole("gridcell", { name: /^Row 2, column 3:/ }).click();
  await page.getByLabel("Text", { exact: true }).fill("zz"); // a String Key layer
  await button(page, "Type text").click();
  await page.getByLabel("String 1", { exact: true }).check();
  await button(page, "Assign string").click();
  await expect(page.locator("#layer-lines")).toHaveText(/^(IBM Key \d+\s+Shift l\s*){3}$/); // T, W, O
  for (const [text, refusal] of [["caf\u00e9", "cannot be typed by any key"], ["x".repeat(1025), "String Definition"]]) {
    await second.fill(text);
    await second.press("Enter");
    await expect(status(page)).toContainText(refusal);
    await expect(second).toHaveValue(text); // left to be corrected
  }
  await page.getByLabel("String 1", { exact: true }).check();
  await button(page, "Delete string").click();
  await expect(status(page)).toContainText("String 1 is used by 1 key");
  await page.getByLabel("String 0", { exact: true }).check();
  await button(page, "Delete string").click();
  await expect(page.getByLabel("Text of string 0")).toHaveValue("TWO");
  await expect(page.getByLabel("Text of string 1")).toHaveValue("zz"); // the typed macro's
  await page.locator("body").press("Control+z");
  await expect(page.getByLabel("Text of string 1")).toHaveValue("TWO");
});
