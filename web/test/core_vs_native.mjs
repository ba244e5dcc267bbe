// The WebAssembly core against the native quillan-cli: random definitions of
// every settings file version, and definitions made by random edits, go
// through convert, build, export, import, refill, diff and edit on both;
// every file written, every line printed and every exit code must be the
// same. Prints one line per difference and a pass/fail summary.
//
//   node web/test/core_vs_native.mjs NATIVE_CLI WASM_JS [COUNT] [SEED]
import { execFileSync, spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { createRequire } from "node:module";

const [nativeArg, wasmJs, countArg, seedArg] = process.argv.slice(2);
const nativeCli = nativeArg && path.resolve(nativeArg);
if (!nativeArg || !wasmJs) {
  console.error("usage: core_vs_native.mjs NATIVE_CLI WASM_JS [COUNT] [SEED]");
  process.exit(2);
}
const count = Number(countArg ?? 300);
let seed = Number(seedArg ?? 19) >>> 0;
// xorshift32: the same files for the same seed.
const rand = () => {
  seed ^= seed << 13; seed >>>= 0;
  seed ^= seed >>> 17;
  seed ^= seed << 5; seed >>>= 0;
  return seed;
};
const pick = (list) => list[rand() % list.length];

// Every version a settings file can have, with its whole-file size.
const shapes = [
  [1, 0, 28732], [1, 0, 32316], [1, 1, 32316], [1, 2, 32316], [1, 3, 32324],
  [2, 0, 34376], [2, 1, 34444], [2, 2, 34448], [4, 0, 20624],
];

function randomSettingsFile([high, low, size]) {
  const bytes = Buffer.alloc(size);
  for (let i = 0; i < size; ++i) bytes[i] = rand() & 0xff;
  // Mostly-zero bodies read like real files more often than noise does.
  if (rand() % 2) for (let i = 8; i < size; ++i) if (rand() % 4) bytes[i] = 0;
  bytes.fill(0, 0, 8);
  bytes[0] = low;
  bytes[4] = high;
  return bytes;
}

const keyNames = ["IBM Key 1", "IBM Key 31", "IBM Key 44", "IBM Key 58", "IBM Key 90", "IBM Key 110", "IBM Key 126"];
const modes = ["-", "alt", "ctrl", "shift", "base", "repeat-off", "altgr", "shift,ctrl", "base,alt"];
const texts = ["abc", "Hello", "x1", "QWERTY!", "a b"];

function randomEditWords() {
  const words = [];
  const cell = () => [String(rand() % 16), String(rand() % 8)];
  const layer = () => String(rand() % 4);
  for (let n = 1 + (rand() % 12); n > 0; --n) {
    switch (rand() % 9) {
      case 0: words.push("key", ...cell(), layer(), pick(keyNames), pick(modes)); break;
      case 1: words.push("type", ...cell(), layer(), pick(texts)); break;
      case 2: words.push("none", ...cell(), layer()); break;
      case 3: words.push("layer", ...cell(), layer(), String(rand() % 2)); break;
      case 4: words.push("used", ...cell(), String(rand() % 2)); break;
      case 5: words.push("enabled", ...cell(), String(rand() % 2)); break;
      case 6: words.push("legend", ...cell(), pick(texts)); break;
      case 7: words.push("string-add", pick(texts)); break;
      default: words.push("assign-string", ...cell(), layer(), String(rand() % 3)); break;
    }
  }
  return words;
}

const outputs = ["out.dat", "Saved.txt", "EEPkey.bin", "EEPkey.txt", "out.json", "imp.dat",
  "back.dat", "eepraw.txt", "edit.dat", "bad.dat"];

// A JSON document the importer must refuse, in the same words on both: the
// previous definition's export cut short, with a number too large to hold,
// or with a list where a value belongs.
function badJson(exported) {
  switch (rand() % 3) {
    case 0: return exported.slice(0, rand() % exported.length);
    case 1: return exported.replace(/\b\d+\b/, "1e400");
    default: return exported.replace(/: (true|false|"[^"]*")/, ": [7]");
  }
}

// The steps run on a definition file "in.dat" next to the previous one, "prev.dat".
function steps(editWords) {
  return [
    ["convert", "in.dat", "out.dat"],
    ["build", "in.dat"],
    ["export", "in.dat", "out.json"],
    ["import", "out.json", "imp.dat"],
    ["refill", "EEPkey.bin", "back.dat"],
    ["diff", "prev.dat", "in.dat"],
    ["diff", "out.json", "back.dat"],
    ["edit", "edit.dat", ...editWords],
    ["import", "bad.json", "bad.dat"],
  ];
}

function runNative(dir, args) {
  const r = spawnSync(nativeCli, args, { cwd: dir, encoding: "latin1" });
  return { code: r.status, out: r.stdout, err: r.stderr };
}

const require = createRequire(import.meta.url);
const createCore = require(path.resolve(wasmJs));
let lines = { out: [], err: [] };
const core = await createCore({
  wasmBinary: fs.readFileSync(path.resolve(wasmJs).replace(/\.js$/, ".wasm")),
  print: (t) => lines.out.push(t),
  printErr: (t) => lines.err.push(t),
});
const FS = core.FS;
const runWasm = (args) => {
  lines = { out: [], err: [] };
  const code = core.ccall("qw_cli", "number", ["string"], [args.join("\t")]);
  const joined = (l) => l.map((t) => t + "\n").join("");
  return { code, out: joined(lines.out), err: joined(lines.err) };
};
// Output text as both print it: wasm lines come through UTF-8 decoding.
const latin = (s) => Buffer.from(s, "utf8").toString("latin1");

const work = fs.mkdtempSync(path.join(os.tmpdir(), "quillan-web-compare-"));
let passed = 0, failed = 0;
let previous = randomSettingsFile(shapes[8]);
let previousJson = '{"format": "x"}';
for (let i = 0; i < count; ++i) {
  const native = path.join(work, `n${i}`);
  fs.mkdirSync(native);
  let input;
  let what;
  if (i % 3 === 2) {
    // A definition as the editor makes it: new, then random edits (native).
    fs.writeFileSync(path.join(native, "seed.dat"), "");
    runNative(native, ["new", "seed.dat"]);
    runNative(native, ["edit", "seed.dat", ...randomEditWords()]);
    input = fs.readFileSync(path.join(native, "seed.dat"));
    what = `edited definition ${i}`;
  } else {
    const shape = shapes[i % shapes.length];
    input = randomSettingsFile(shape);
    what = `random ${shape[0]}.${shape[1]} file ${i}`;
  }
  const editWords = randomEditWords();
  const wasmDir = `/compare/w${i}`;
  FS.mkdirTree(wasmDir);
  const bad = Buffer.from(badJson(previousJson), "latin1");
  for (const [name, bytes] of [["in.dat", input], ["prev.dat", previous], ["edit.dat", input],
    ["bad.json", bad]]) {
    fs.writeFileSync(path.join(native, name), bytes);
    FS.writeFile(`${wasmDir}/${name}`, bytes);
  }
  FS.chdir(wasmDir);
  const problems = [];
  for (const args of steps(editWords)) {
    const a = runNative(native, args);
    const b = runWasm(args);
    if (a.code !== b.code) problems.push(`${args[0]}: exit ${a.code} vs ${b.code}`);
    if (a.out !== latin(b.out)) problems.push(`${args[0]}: standard output differs`);
    if (a.err !== latin(b.err)) problems.push(`${args[0]}: standard error differs:\n${a.err}---\n${b.err}`);
  }
  for (const name of outputs) {
    const nativeFile = path.join(native, name);
    const had = fs.existsSync(nativeFile);
    const wasmHas = FS.analyzePath(`${wasmDir}/${name}`).exists;
    if (had !== wasmHas) { problems.push(`${name}: written by one side only`); continue; }
    if (had && !Buffer.from(FS.readFile(`${wasmDir}/${name}`)).equals(fs.readFileSync(nativeFile)))
      problems.push(`${name}: bytes differ`);
  }
  FS.chdir("/");
  if (problems.length) {
    ++failed;
    console.log(`FAIL ${what}\n  ${problems.join("\n  ")}`);
  } else {
    ++passed;
  }
  previous = input;
  if (fs.existsSync(path.join(native, "out.json")))
    previousJson = fs.readFileSync(path.join(native, "out.json"), "latin1");
  fs.rmSync(native, { recursive: true, force: true });
}
fs.rmSync(work, { recursive: true, force: true });
console.log(`core-vs-native: ${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
