// Builds the site into web/dist: the page's TypeScript bundled with esbuild,
// the static files, and the core (quillan-web.js, quillan-web.wasm) and the
// picture strip (pictures.png) from the wasm build folder given as the first
// argument.
import { build } from "esbuild";
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(fileURLToPath(import.meta.url));
const coreDir = path.resolve(process.argv[2] ?? path.join(here, "..", "build-wasm", "web"));
const dist = path.join(here, "dist");
fs.rmSync(dist, { recursive: true, force: true });
fs.mkdirSync(dist, { recursive: true });
await build({
  entryPoints: [path.join(here, "ts", "main.ts")],
  bundle: true,
  minify: true,
  format: "iife",
  target: "chrome100",
  outfile: path.join(dist, "page.js"),
  logLevel: "warning",
});
for (const f of fs.readdirSync(path.join(here, "public"))) fs.copyFileSync(path.join(here, "public", f), path.join(dist, f));
for (const f of ["quillan-web.js", "quillan-web.wasm", "pictures.png"]) fs.copyFileSync(path.join(coreDir, f), path.join(dist, f));
console.log(`site built in ${dist}`);
