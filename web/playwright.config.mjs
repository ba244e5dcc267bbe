// Browser tests of the page: Debian's chromium, headless, against the built
// site served on localhost.
import { defineConfig } from "@playwright/test";

export default defineConfig({
  testDir: "tests",
  timeout: 120_000,
  workers: 1,
  // One more attempt, for a loaded machine only (a transfer that runs into a
  // timeout); a real fault fails both. The long-task rule is checked on the
  // tasks' own work (thread time), which load does not stretch.
  retries: 1,
  reporter: [["list"]],
  use: {
    baseURL: "http://localhost:8091/",
    acceptDownloads: true,
    launchOptions: {
      executablePath: "/usr/bin/chromium",
      args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
        "--disable-component-update", "--disable-sync", "--no-first-run"],
    },
  },
  webServer: {
    command: "node serve.mjs dist 8091",
    url: "http://localhost:8091/",
    reuseExistingServer: false,
  },
});
