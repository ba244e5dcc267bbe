// The WebAssembly core: loading it and calling the binding. Every rule,
// message and byte comes from there; this file only passes words and files.
import type { HidTransport } from "./hid_transport";

// picture: the number of the cell's picture in the picture strip.
export interface Cell { used: boolean; enabled: boolean; layers: boolean[]; picture: number; legend: string }

export interface Message { caption: string; text: string; icon: number }

interface Module {
  ccall(name: string, ret: string | null, types: string[], args: unknown[], opts?: { async: boolean }): any;
  FS: any;
  quillanHid: HidTransport;
  onMessage?: (caption: string, text: string, icon: number) => void;
  onProgress?: (range: number, position: number) => void;
  cancelRequested?: boolean;
}

declare const QuillanCore: (options: object) => Promise<Module>;

export class Core {
  private constructor(private m: Module) {}
  messages: Message[] = [];
  onProgress: (range: number, position: number) => void = () => {};

  static async load(hid: HidTransport): Promise<Core> {
    const m = await QuillanCore({ locateFile: (f: string) => f, quillanHid: hid });
    m.quillanHid = hid;
    const core = new Core(m);
    m.onMessage = (caption, text, icon) => core.messages.push({ caption, text, icon });
    m.onProgress = (range, position) => core.onProgress(range, position);
    m.FS.mkdir("/work");
    m.FS.chdir("/work");
    return core;
  }

  // Messages shown since the last call, as "Caption: text" lines.
  takeMessages(): Message[] {
    const out = this.messages;
    this.messages = [];
    return out;
  }

  private text(name: string, types: string[] = [], args: unknown[] = []): string {
    return this.m.ccall(name, "string", types, args);
  }
  private num(name: string, types: string[] = [], args: unknown[] = []): number {
    return this.m.ccall(name, "number", types, args);
  }

  writeFile(name: string, bytes: Uint8Array): void { this.m.FS.writeFile(name, bytes); }
  readFile(name: string): Uint8Array { return this.m.FS.readFile(name); }
  exists(name: string): boolean { return this.m.FS.analyzePath(name).exists; }
  remove(name: string): void { if (this.exists(name)) this.m.FS.unlink(name); }

  newDefinition(): void { this.m.ccall("qw_new", null, [], []); }
  load(path: string): boolean { return this.num("qw_load", ["string"], [path]) === 1; }
  save(path: string): boolean { return this.num("qw_save", ["string"], [path]) === 1; }
  document(): string { return this.text("qw_document"); }
  apply(json: string): boolean { return this.num("qw_apply", ["string"], [json]) === 1; }
  edit(words: string[]): number { return this.num("qw_edit", ["string"], [words.join("\t")]); }
  build(): boolean { return this.num("qw_build") === 1; }
  layerLines(row: number, column: number, layer: number): string[] {
    return this.text("qw_layer_lines", ["number", "number", "number"], [row, column, layer]).split("\n").filter(Boolean);
  }
  // The desktop's tooltip of a cell: place, legend, every used layer's key or string.
  cellToolTip(row: number, column: number): string {
    return this.text("qw_cell_tooltip", ["number", "number"], [row, column]);
  }
  // edited: the index of the cell whose Key Settings are being edited, -1 for none.
  cells(edited = -1): Cell[] {
    return this.text("qw_cells", ["number"], [edited]).split("\n").slice(0, 128).map((line) => {
      const [used, enabled, l0, l1, l2, l3, picture, ...legend] = line.split("\t");
      return {
        used: used === "1", enabled: enabled === "1", layers: [l0, l1, l2, l3].map((l) => l === "1"),
        picture: Number(picture), legend: legend.join("\t"),
      };
    });
  }
  ledPictures(): number[] { return this.text("qw_led_pictures").split("\n").filter(Boolean).map(Number); }
  strings(): string[] { return this.text("qw_strings").split("\n").slice(0, -1); }
  catalogue(): { name: string; label: string; page: number; usage: number }[] {
    return this.text("qw_catalogue").split("\n").filter(Boolean).map((line) => {
      const [name, label, page, usage] = line.split("\t");
      return { name, label, page: Number(page), usage: Number(usage) };
    });
  }
  choices(): string[][] { return this.text("qw_choices").split("\n\n").map((b) => b.split("\n").filter(Boolean)); }

  // The keyboard commands wait for the device: no other call meanwhile.
  presence(): Promise<string> { return this.m.ccall("qw_presence", "string", [], [], { async: true }); }
  program(verify: boolean): Promise<string> {
    return this.m.ccall("qw_program", "string", ["number"], [verify ? 1 : 0], { async: true });
  }
  read(): Promise<string> { return this.m.ccall("qw_read", "string", [], [], { async: true }); }
}
