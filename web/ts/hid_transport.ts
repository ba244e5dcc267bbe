// The WebHID transport the core's HID backend calls (Module.quillanHid):
// granted devices as collection lines, reports in and out, and the gap
// between reports. Every answer is a promise the core awaits (Asyncify);
// failures are negative errno values, as the desktop's hidraw gives them.
export const ENODEV = 19;
export const EIO = 5;
export const EACCES = 13;
export const ETIMEDOUT = 110;
export const EPIPE = 32;

export const KEYBOARD_VENDOR = 0x04b4;
export const PROGRAMMER_VENDOR = 0x1593;
export const PROGRAMMER_PRODUCT = 0xff02;
export const KEYBOARD_PRODUCTS = [0x1000, 0x1001, 0x100a, 0x100b, 0x100c];

// What the device chooser offers: the products Quillan serves.
export const chooserFilters: HIDDeviceFilter[] = [
  ...KEYBOARD_PRODUCTS.map((productId) => ({ vendorId: KEYBOARD_VENDOR, productId })),
  { vendorId: PROGRAMMER_VENDOR, productId: PROGRAMMER_PRODUCT },
];

export const isServed = (d: HIDDevice) =>
  (d.vendorId === KEYBOARD_VENDOR && KEYBOARD_PRODUCTS.includes(d.productId)) ||
  (d.vendorId === PROGRAMMER_VENDOR && d.productId === PROGRAMMER_PRODUCT);

// Bytes of the largest report of a kind, plus one for the report ID, as
// the platform HID API counts them (0 when the collection has none).
function reportLength(reports: readonly HIDReportInfo[] | undefined): number {
  let bits = 0;
  for (const report of reports ?? []) {
    let sum = 0;
    for (const item of report.items ?? []) sum += (item.reportSize ?? 0) * (item.reportCount ?? 0);
    bits = Math.max(bits, sum);
  }
  return bits === 0 ? 0 : Math.ceil(bits / 8) + 1;
}

interface Open {
  device: HIDDevice;
  inputs: DataView[];
  waiting: ((report: DataView | null) => void) | null;
  listener: (e: HIDInputReportEvent) => void;
}

const errno = (e: unknown): number => {
  const name = (e as { name?: string })?.name;
  if (name === "NotAllowedError" || name === "SecurityError") return -EACCES;
  if (name === "InvalidStateError" || name === "NotFoundError") return -ENODEV;
  return -EIO;
};

export class HidTransport {
  devices: HIDDevice[] = [];
  // The keyboard's version, which the browser does not report (bcdDevice):
  // what the user entered, in decimal; 0 when unknown.
  keyboardVersion = 0;
  private handles = new Map<number, Open>();
  private nextHandle = 1;
  private sliceStart = 0;
  // When the last report finished (null once a gap has been timed from it),
  // and the end of the gap the core asked for after it.
  private lastReport: number | null = null;
  private gapEnd = 0;

  // Gives the event loop back once the running task has worked for a few
  // milliseconds: a device that answers at once (or a busy machine) must
  // not turn a transfer into one long task.
  private async slice(): Promise<void> {
    if (performance.now() - this.sliceStart > 4) {
      await yieldToBrowser();
      this.sliceStart = performance.now();
    }
  }

  // Waits out the gap before the next report: gives the event loop back
  // until just before its end and watches the clock for the rest, so a gap
  // is never shorter than asked, barely longer, and no task runs long.
  private async gap(): Promise<void> {
    for (let left = this.gapEnd - performance.now(); left > GAP_SPIN_MS; left = this.gapEnd - performance.now()) {
      // A long gap (the programming device's) sleeps on a timer first.
      if (left > GAP_TIMER_SLACK_MS + 1) await new Promise((r) => setTimeout(r, left - GAP_TIMER_SLACK_MS));
      else await yieldToBrowser();
      this.sliceStart = performance.now();
    }
    while (performance.now() < this.gapEnd) {
      /* the last fraction of the gap */
    }
  }

  // A report call: the gap before it, a turn of the event loop when the task
  // has run a while, then the report; its end starts the next gap.
  private async report<T>(send: () => Promise<T>): Promise<T> {
    await this.gap();
    await this.slice();
    try {
      return await send();
    } finally {
      this.lastReport = performance.now();
    }
  }

  // A turn of the event loop between two steps of the core's work.
  async turn(): Promise<void> {
    await yieldToBrowser();
    this.sliceStart = performance.now();
  }

  async refresh(): Promise<HIDDevice[]> {
    const hid = navigator.hid;
    this.devices = hid ? (await hid.getDevices()).filter(isServed) : [];
    return this.devices;
  }

  async enumerate(): Promise<string> {
    await this.refresh();
    const bcd = parseInt(String(this.keyboardVersion).padStart(4, "0").slice(-4), 16) || 0;
    const lines: string[] = [];
    this.devices.forEach((d, index) => {
      (d.collections ?? []).forEach((c, n) => {
        const release = d.vendorId === KEYBOARD_VENDOR ? bcd : 0;
        lines.push(
          [`d${index}#${n}`, d.vendorId, d.productId, release, n, c.usagePage ?? 0, c.usage ?? 0,
            reportLength(c.inputReports), reportLength(c.outputReports),
            reportLength(c.featureReports)].join(" "),
        );
      });
    });
    return lines.join("\n");
  }

  private device(path: string): HIDDevice | undefined {
    const m = /^d(\d+)#/.exec(path);
    return m ? this.devices[Number(m[1])] : undefined;
  }

  async open(path: string, _query: boolean): Promise<number> {
    const device = this.device(path);
    if (!device) return -ENODEV;
    try {
      if (!device.opened) await device.open();
    } catch (e) {
      return errno(e);
    }
    const handle = this.nextHandle++;
    const entry: Open = {
      device, inputs: [], waiting: null,
      listener: (e) => {
        const data = new DataView(new Uint8Array([e.reportId, ...new Uint8Array(e.data.buffer, e.data.byteOffset, e.data.byteLength)]).buffer);
        if (entry.waiting) {
          const w = entry.waiting;
          entry.waiting = null;
          w(data);
        } else entry.inputs.push(data);
      },
    };
    device.addEventListener("inputreport", entry.listener);
    this.handles.set(handle, entry);
    return handle;
  }

  close(handle: number): void {
    const entry = this.handles.get(handle);
    if (!entry) return;
    entry.device.removeEventListener("inputreport", entry.listener);
    this.handles.delete(handle);
  }

  // The device's product string. A device without one is named by the
  // system instead (Linux: "HID 04b4:100b"), which is not the keyboard's
  // product string: the core then shows the keyboard's version, as on the
  // desktop.
  productName(handle: number): string | number {
    const entry = this.handles.get(handle);
    if (!entry) return -ENODEV;
    const name = entry.device.productName ?? "";
    return /^HID [0-9a-f]{4}:[0-9a-f]{4}$/i.test(name) ? "" : name;
  }

  async sendFeature(handle: number, bytes: Uint8Array): Promise<number> {
    const entry = this.handles.get(handle);
    if (!entry) return -ENODEV;
    return this.report(async () => {
      try {
        await entry.device.sendFeatureReport(bytes[0], bytes.subarray(1));
        return bytes.length;
      } catch (e) {
        return errno(e);
      }
    });
  }

  // The answer with its report ID first, as the platform API gives it.
  async receiveFeature(handle: number, reportId: number, length: number): Promise<Uint8Array | number> {
    const entry = this.handles.get(handle);
    if (!entry) return -ENODEV;
    return this.report(async () => {
      try {
        const view = await entry.device.receiveFeatureReport(reportId);
        const data = new Uint8Array(view.buffer, view.byteOffset, view.byteLength);
        // Browsers give the report with or without its ID byte.
        if (data.length >= length) return data.slice(0, length);
        const out = new Uint8Array(length);
        out[0] = reportId;
        out.set(data.subarray(0, length - 1), 1);
        return out;
      } catch (e) {
        return errno(e);
      }
    });
  }

  async sendOutput(handle: number, bytes: Uint8Array): Promise<number> {
    const entry = this.handles.get(handle);
    if (!entry) return -ENODEV;
    return this.report(async () => {
      try {
        await entry.device.sendReport(bytes[0], bytes.subarray(1));
        return bytes.length;
      } catch (e) {
        return errno(e);
      }
    });
  }

  async receiveInput(handle: number, length: number, timeoutMs: number): Promise<Uint8Array | number> {
    await this.slice();
    const entry = this.handles.get(handle);
    if (!entry) return -ENODEV;
    let report = entry.inputs.shift() ?? null;
    if (!report) {
      report = await new Promise<DataView | null>((resolve) => {
        const timer = setTimeout(() => {
          entry.waiting = null;
          resolve(null);
        }, timeoutMs);
        entry.waiting = (r) => {
          clearTimeout(timer);
          resolve(r);
        };
      });
    }
    if (!report) return entry.device.opened ? -ETIMEDOUT : -ENODEV;
    const out = new Uint8Array(length);
    out.set(new Uint8Array(report.buffer).subarray(0, length));
    return out;
  }

  // The gap the core asks for after a report, timed from the moment that
  // report finished (the way back into the core counts towards it); the
  // next report call waits for its end. A gap that follows no report starts
  // now.
  pause(us: number): void {
    this.gapEnd = (this.lastReport ?? performance.now()) + us / 1000;
    this.lastReport = null;
  }
}

// The end of a gap is watched on the clock, not through the event loop, for
// its last this many milliseconds: a turn of the loop can take longer.
const GAP_SPIN_MS = 0.15;
// How late a timer may fire (the 4 ms clamp of nested timers and a little).
const GAP_TIMER_SLACK_MS = 5;

const channel = typeof MessageChannel !== "undefined" ? new MessageChannel() : null;
const queued: (() => void)[] = [];
if (channel) channel.port1.onmessage = () => queued.shift()?.();

// A fresh task without a timer's 4 ms clamp.
export function yieldToBrowser(): Promise<void> {
  return new Promise((resolve) => {
    if (!channel) return setTimeout(resolve, 0);
    queued.push(resolve);
    channel.port2.postMessage(0);
  });
}
