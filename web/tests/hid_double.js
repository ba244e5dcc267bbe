// A stand-in for navigator.hid that answers like each product's firmware:
// the keyboard's request report (ID 3: address, block, data, AA) stores a
// byte or, with block bit 7 set, answers it (next feature read, or an input
// report on product 1000); the programming device stores four bytes per
// 7-byte feature report. Installed before the page loads; the test sets
// window.hidDouble.plug(kind, options) and reads the EEPROM back.
(() => {
  const vendorFeature = { usagePage: 0xffa0, usage: 0xa5, inputReports: [], outputReports: [],
    featureReports: [{ reportId: 3, items: [{ reportSize: 8, reportCount: 4 }] }] };
  const vendorInOut = { usagePage: 0xffa0, usage: 0xa5, featureReports: [],
    inputReports: [{ reportId: 3, items: [{ reportSize: 8, reportCount: 3 }] }],
    outputReports: [{ reportId: 3, items: [{ reportSize: 8, reportCount: 3 }] }] };
  // What the browser leaves of protected collections: their usage, no reports.
  const keyboard = { usagePage: 1, usage: 6, inputReports: [], outputReports: [], featureReports: [] };
  const mouse = { usagePage: 1, usage: 2, inputReports: [], outputReports: [], featureReports: [] };
  const consumer = { usagePage: 0x0c, usage: 1, outputReports: [], featureReports: [],
    inputReports: [{ reportId: 4, items: [{ reportSize: 1, reportCount: 8 }] }] };
  const programmer = { usagePage: 0xff00, usage: 1, inputReports: [], outputReports: [],
    featureReports: [{ reportId: 0, items: [{ reportSize: 8, reportCount: 6 }] }] };
  // Interfaces of each product, listed by the browser in an order of its own.
  const products = {
    "1000": [[keyboard], [vendorInOut]],
    "1001": [[vendorFeature], [keyboard]],
    "100A": [[keyboard], [vendorFeature]], // the mouse collection hidden
    // Interfaces with nothing but protected collections may be left out.
    "100B": [[vendorFeature], [consumer]],
    "100C": [[consumer, vendorFeature, mouse, keyboard]],
  };

  const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
  const gone = () => Object.assign(new Error("The device was disconnected."), { name: "NotFoundError" });

  class Unit {
    constructor(kind, options) {
      this.kind = kind;
      this.eeprom = new Uint8Array(8192).fill(0xff);
      this.corrupt = options.corrupt ?? -1;
      this.unplugAfter = options.unplugAfter ?? Infinity;
      this.version = options.version ?? 412;
      this.reports = 0;
      this.plugged = true;
      this.answer = null;
      this.sendTimes = [];
    }
    count() {
      if (!this.plugged) throw gone();
      if (++this.reports > this.unplugAfter) {
        this.plugged = false;
        double.unplug();
        throw gone();
      }
    }
    // A keyboard request; returns the answer to queue, if any.
    request(address, block, data) {
      if (block & 0x80) return [address, block, this.eeprom[(block & 0x7f) * 256 + address]];
      const index = block * 256 + address;
      if (index < 8192) this.eeprom[index] = index === this.corrupt ? data ^ 1 : data;
      this.sendTimes.push(performance.now());
      return null;
    }
  }

  class Device extends EventTarget {
    constructor(unit, collections, productId, vendorId, productName) {
      super();
      Object.assign(this, { unit, collections, productId, vendorId, productName, opened: false });
    }
    async open() { if (!this.unit.plugged) throw gone(); this.opened = true; }
    async close() { this.opened = false; }
    async forget() {}
    async sendFeatureReport(reportId, data) {
      const u = this.unit;
      u.count();
      const d = new Uint8Array(data.buffer ?? data, data.byteOffset ?? 0, data.byteLength ?? data.length);
      if (u.kind === "programmer") {
        if (reportId !== 0 || d.length !== 6) throw Object.assign(new Error("bad report"), { name: "NotAllowedError" });
        u.eeprom.set(d.subarray(2, 6), d[1] * 256 + d[0]);
        u.sendTimes.push(performance.now());
        return;
      }
      if (reportId !== 3 || d[3] !== 0xaa) return;
      const a = u.request(d[0], d[1], d[2]);
      if (a) u.answer = a;
    }
    async receiveFeatureReport(reportId) {
      const u = this.unit;
      u.count();
      const a = u.answer ?? [0, 0, 0];
      // The browser puts the report ID first.
      return new DataView(new Uint8Array([reportId, ...a, 0xaa]).buffer);
    }
    async sendReport(reportId, data) {
      const u = this.unit;
      u.count();
      const d = new Uint8Array(data.buffer ?? data, data.byteOffset ?? 0, data.byteLength ?? data.length);
      if (reportId !== 3) return;
      const a = u.request(d[0], d[1], d[2]);
      if (a) queueMicrotask(() => {
        const e = new Event("inputreport");
        Object.assign(e, { device: this, reportId: 3, data: new DataView(new Uint8Array(a).buffer) });
        this.dispatchEvent(e);
      });
    }
  }

  const double = new EventTarget();
  double.devices = [];
  double.granted = false;
  double.plug = (kind, options = {}) => {
    const unit = new Unit(kind, options);
    double.unit = unit;
    if (kind === "programmer") {
      const v = String(unit.version).padStart(4, "0");
      double.devices = [new Device(unit, [programmer], 0xff02, 0x1593, `V${v}`)];
    } else {
      double.devices = products[kind].map((c) => new Device(unit, c, parseInt(kind, 16), 0x04b4, `HID 04b4:${kind.toLowerCase()}`));
    }
    double.granted = options.granted ?? true;
    return unit;
  };
  double.unplug = () => {
    const devices = double.devices;
    double.devices = [];
    for (const d of devices) {
      d.opened = false;
      const e = new Event("disconnect");
      e.device = d;
      double.dispatchEvent(e);
    }
  };
  double.eeprom = () => Array.from(double.unit.eeprom);
  double.getDevices = async () => (double.granted ? double.devices.slice() : []);
  double.requestDevice = async () => {
    double.granted = true;
    return double.devices.slice();
  };
  Object.defineProperty(navigator, "hid", { value: double, configurable: true });
  window.hidDouble = double;
})();
