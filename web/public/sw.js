// Keeps the site for use without a network: the files are cached on the
// first visit and served from the cache, refreshed when the network answers.
const CACHE = "quillan-v2";
const FILES = ["./", "index.html", "page.js", "quillan-web.js", "quillan-web.wasm", "quillan.css",
  "manifest.webmanifest", "icon.svg", "pictures.png"];
self.addEventListener("install", (e) => e.waitUntil(caches.open(CACHE).then((c) => c.addAll(FILES))));
self.addEventListener("activate", (e) => e.waitUntil(self.clients.claim()));
self.addEventListener("fetch", (e) => {
  if (e.request.method !== "GET") return;
  e.respondWith(
    fetch(e.request)
      .then((response) => {
        const copy = response.clone();
        caches.open(CACHE).then((c) => c.put(e.request, copy));
        return response;
      })
      .catch(() => caches.match(e.request, { ignoreSearch: true })),
  );
});
