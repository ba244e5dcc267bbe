// The browser's key events as USB usages, so that press-to-assign finds the
// catalogue row that sends the same usage (the core's catalogue says which).
const letters = "abcdefghijklmnopqrstuvwxyz";
const codes: Record<string, [number, number]> = {};
for (let i = 0; i < 26; ++i) codes[`Key${letters[i].toUpperCase()}`] = [7, 0x04 + i];
for (let i = 1; i <= 9; ++i) codes[`Digit${i}`] = [7, 0x1d + i];
codes.Digit0 = [7, 0x27];
for (let i = 1; i <= 12; ++i) codes[`F${i}`] = [7, 0x39 + i];
const keyboard: [string, number][] = [
  ["Enter", 0x28], ["Escape", 0x29], ["Backspace", 0x2a], ["Tab", 0x2b], ["Space", 0x2c],
  ["Minus", 0x2d], ["Equal", 0x2e], ["BracketLeft", 0x2f], ["BracketRight", 0x30],
  ["Backslash", 0x31], ["Semicolon", 0x33], ["Quote", 0x34], ["Backquote", 0x35],
  ["Comma", 0x36], ["Period", 0x37], ["Slash", 0x38], ["CapsLock", 0x39],
  ["PrintScreen", 0x46], ["ScrollLock", 0x47], ["Pause", 0x48], ["Insert", 0x49],
  ["Home", 0x4a], ["PageUp", 0x4b], ["Delete", 0x4c], ["End", 0x4d], ["PageDown", 0x4e],
  ["ArrowRight", 0x4f], ["ArrowLeft", 0x50], ["ArrowDown", 0x51], ["ArrowUp", 0x52],
  ["NumLock", 0x53], ["NumpadDivide", 0x54], ["NumpadMultiply", 0x55], ["NumpadSubtract", 0x56],
  ["NumpadAdd", 0x57], ["NumpadEnter", 0x58], ["Numpad1", 0x59], ["Numpad2", 0x5a],
  ["Numpad3", 0x5b], ["Numpad4", 0x5c], ["Numpad5", 0x5d], ["Numpad6", 0x5e], ["Numpad7", 0x5f],
  ["Numpad8", 0x60], ["Numpad9", 0x61], ["Numpad0", 0x62], ["NumpadDecimal", 0x63],
  ["IntlBackslash", 0x64], ["ContextMenu", 0x65], ["ControlLeft", 0xe0], ["ShiftLeft", 0xe1],
  ["AltLeft", 0xe2], ["MetaLeft", 0xe3], ["ControlRight", 0xe4], ["ShiftRight", 0xe5],
  ["AltRight", 0xe6], ["MetaRight", 0xe7],
];
for (const [code, usage] of keyboard) codes[code] = [7, usage];
// Media and system keys.
const consumer: [string, number][] = [
  ["MediaTrackNext", 0xb5], ["MediaTrackPrevious", 0xb6], ["MediaStop", 0xb7],
  ["MediaPlayPause", 0xcd], ["AudioVolumeMute", 0xe2], ["AudioVolumeUp", 0xe9],
  ["AudioVolumeDown", 0xea], ["LaunchMail", 0x8a], ["BrowserHome", 0x23],
];
for (const [code, usage] of consumer) codes[code] = [0x0c, usage];
codes.Power = [1, 0x81];
codes.Sleep = [1, 0x82];
codes.WakeUp = [1, 0x83];

export function usageOfCode(code: string): [number, number] | undefined {
  return codes[code];
}
