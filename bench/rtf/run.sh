#!/usr/bin/env bash
# RTF benchmark, side by side with its peers in one run: builds the inputs with gen_rtf.py, then
# times reading and writing against QTextDocument's HTML import and export, and the whole
# velkora-dev rtf-text process against abiword --to=txt on the 10 MB body.
# Usage: bench/rtf/run.sh [BUILD_DIR] [SHARED_DIR]   (abiword: apt-get install abiword)
set -euo pipefail
build=${1:-build}
shared=${2:-../shared}
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
python3 "$shared/tools/gen_rtf.py" --out "$data" > /dev/null
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$data}
"$build/bench/rtf/velkora_bench_rtf" "$data"

seconds() { local start end; start=$(date +%s.%N); "$@" > /dev/null 2>&1 || true; end=$(date +%s.%N); echo "$end - $start" | bc -l; }
ours=$(seconds "$build/tools/velkora-dev" rtf-text "$data/text_10m.rtf")
printf 'BENCH velkora_dev_rtf_text_10m %.2f s\n' "$ours"
if command -v abiword > /dev/null; then
  theirs=$(seconds abiword --to=txt --to-name="$data/out.txt" "$data/text_10m.rtf")
  printf 'BENCH abiword_to_txt_10m %.2f s\n' "$theirs"
  printf 'BENCH rtf_text_speedup_over_abiword_10m %.1f x\n' "$(echo "$theirs / $ours" | bc -l)"
else
  echo "abiword is not installed: no side-by-side figure" >&2
fi
