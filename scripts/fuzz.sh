#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time,
# starting from the example definition (binary and JSON) and an image built
# from it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${QUILLAN_FUZZ_SECONDS:-30}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
corpus=build-fuzz/corpus
mkdir -p "$corpus/settings" "$corpus/image" "$corpus/json"
cp examples/example.dat "$corpus/settings/"
cp examples/example.json "$corpus/json/"
(cd "$corpus/image" && ../../cli/quillan-cli build ../../../examples/example.dat 2>/dev/null &&
 rm -f EEPkey.txt qnlog.txt)

run() { # target, corpus, longest input
  echo "== $1 for ${seconds}s"
  "build-fuzz/tests/fuzz/$1" -max_total_time="$seconds" -max_len="$3" -print_final_stats=0 -artifact_prefix=build-fuzz/ \
    "$corpus/$2" 2>&1 | tail -n 2
}
run fuzz_settings_loader settings 33000
run fuzz_readback_refill image 8192
run fuzz_json_import json 65536
