#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed time
# (FUZZ_SECONDS, default 60), one after the other, each from its seed corpus.
# FUZZ_TARGETS picks some by name (default: all). New inputs and findings
# stay under build/fuzz/NAME/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I.)
model=(docfile/*.cpp model/*.cpp)
read -r -a qt <<<"$(pkg-config --cflags --libs Qt6Core Qt6Gui) -fPIC"
# The formula text readers: one source, FUZZ_MATHML picks the reader.
text=(tools/fuzz/FormulaTextFuzz.cpp textio/*.cpp model/*.cpp)

# One function per target: builds it into $1.
build_decode() { clang++ "${flags[@]}" tools/fuzz/DecodeFuzz.cpp "${model[@]}" -o "$1"; }
build_json() {
  clang++ "${flags[@]}" tools/fuzz/JsonFuzz.cpp tools/Json.cpp tools/DocJson.cpp \
    "${model[@]}" -o "$1"
}
build_picture() {
  clang++ "${flags[@]}" tools/fuzz/PictureFuzz.cpp export/EmbeddedDocument.cpp export/PngText.cpp \
    export/PictureFormat.cpp export/Inflate.cpp textio/XmlReader.cpp "${model[@]}" "${qt[@]}" -lz -lexpat -o "$1"
}
build_latex() { clang++ "${flags[@]}" "${text[@]}" "${qt[@]}" -lexpat -o "$1"; }
build_mathml() { clang++ "${flags[@]}" -DFUZZ_MATHML "${text[@]}" "${qt[@]}" -lexpat -o "$1"; }
build_starmath() { clang++ "${flags[@]}" -DFUZZ_STARMATH "${text[@]}" "${qt[@]}" -lexpat -o "$1"; }
build_odf() {
  clang++ "${flags[@]}" tools/fuzz/FormulaObjectFuzz.cpp export/FormulaObject.cpp textio/*.cpp \
    model/*.cpp "${qt[@]}" -lzip -lexpat -o "$1"
}

# Each target with its seed corpus.
declare -A seeds=(
  [decode]=tests/docfile/corpus
  [json]=tests/tools/corpus
  [picture]=tests/export/corpus
  [latex]=tests/textio/corpus/latex
  [mathml]=tests/textio/corpus/mathml
  [starmath]=tests/textio/corpus/starmath
  [odf]=tests/export/odf
)
# Formulas are short: longer inputs only slow the text readers' runs down.
declare -A max_len=([latex]=4096 [mathml]=4096 [starmath]=4096)

targets=${FUZZ_TARGETS:-decode json picture latex mathml starmath odf}
for name in $targets; do
  out=build/fuzz/$name
  mkdir -p "$out/corpus" "$out/artifacts"
  echo "== $name: building"
  "build_$name" "$out/fuzz"
  cp -n "${seeds[$name]}"/* "$out/corpus/" 2>/dev/null || true
  echo "== $name: running for $seconds s"
  "$out/fuzz" "$out/corpus" -max_total_time="$seconds" -max_len="${max_len[$name]:-16384}" \
    -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$out/artifacts/" -print_final_stats=1
done
