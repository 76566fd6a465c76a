#!/usr/bin/env bash
# Builds the libFuzzer target over the document reader with clang and runs it
# for a fixed time (FUZZ_SECONDS, default 60), starting from the seed corpus in
# tests/docfile/corpus. New inputs and findings stay under build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
out=build/fuzz
mkdir -p "$out/corpus" "$out/artifacts"

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I. tools/fuzz/DecodeFuzz.cpp docfile/*.cpp model/*.cpp -o "$out/decode_fuzz"

cp -n tests/docfile/corpus/* "$out/corpus/" 2>/dev/null || true
"$out/decode_fuzz" "$out/corpus" -max_total_time="$seconds" -max_len=16384 -rss_limit_mb=2048 \
  -artifact_prefix="$out/artifacts/" -print_final_stats=1
