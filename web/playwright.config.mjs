// Browser tests of the page: Debian's chromium, headless, against the built
// site served on localhost.
import { defineConfig } from "@playwright/test";

export default defineConfig({
  testDir: "tests",
  timeout: 120_000,
  workers: 1,
  // A loaded machine can stretch one task past 50 ms; a real fault fails twice.
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
