#!/usr/bin/env bash
# Builds the libFuzzer targets over the LaTeX and the MathML reader with clang
# and runs each for FUZZ_SECONDS (default 60), starting from the seed corpora
# in tests/textio/corpus. New inputs and findings stay under build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
out=build/fuzz
qt=$(pkg-config --cflags --libs Qt6Core)

for form in latex mathml; do
  mkdir -p "$out/$form-corpus" "$out/$form-artifacts"
  define=()
  [[ $form == mathml ]] && define=(-DFUZZ_MATHML)
  # shellcheck disable=SC2086
  clang++ -std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=undefined "${define[@]}" -I. tools/fuzz/FormulaTextFuzz.cpp \
    textio/*.cpp model/*.cpp $qt -o "$out/${form}_fuzz"
  cp -n tests/textio/corpus/$form/* "$out/$form-corpus/" 2>/dev/null || true
  "$out/${form}_fuzz" "$out/$form-corpus" -max_total_time="$seconds" -max_len=4096 \
    -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$out/$form-artifacts/" -print_final_stats=1
done
