#!/bin/bash
# Fuzzes the GIF load path with the libFuzzer build of GifLoadFuzzer.
#
#   fuzz.sh <fuzzer> <seconds> <work dir>
#
# Seeds come from independent encoders (gifbuild on the test texts, netpbm's
# pamtogif in each of its modes, gifsicle animations); the corpus grows in
# <work dir>/corpus, findings land in <work dir>/findings. Exits non-zero
# when the fuzzer reports a crash, a hang or a sanitizer error.
set -euo pipefail
fuzzer=${1:?fuzzer}
seconds=${2:?seconds}
work=${3:?work dir}
here=$(cd "$(dirname "$0")" && pwd)
seeds=$work/seeds
mkdir -p "$seeds" "$work/corpus" "$work/findings"

for t in "$here"/../data/*.txt; do
    gifbuild "$t" >"$seeds/$(basename "$t" .txt).gif"
done
ppmpat -madras 31 17 | pnmquant 40 2>/dev/null >"$work/madras.ppm"
pgmramp -lr 37 21 >"$work/ramp.pgm"
pbmmake -gray 9 5 >"$work/grey.pbm"
for input in madras.ppm ramp.pgm grey.pbm; do
    for option in "" -interlace -nolzw -sort; do
        pamtogif $option "$work/$input" 2>/dev/null >"$seeds/${input%.*}$option.gif"
    done
done
pamtogif -transparent=black "$work/madras.ppm" 2>/dev/null >"$seeds/madras-transparent.gif"
gifsicle --loopcount=2 --delay 5 --disposal background "$seeds/madras.gif" --disposal previous \
    "$seeds/ramp.gif" -o "$seeds/anim.gif"
gifsicle -O2 --loopcount=forever "$seeds/ramp.gif" "$seeds/ramp-interlace.gif" "$seeds/grey.gif" \
    -o "$seeds/anim-optimised.gif"
gifsicle --comment "seed" --interlace "$seeds/madras.gif" -o "$seeds/comment.gif"

status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/findings/" "$work/corpus" "$seeds" 2>"$work/fuzz.log" || status=$?
grep -E '^stat::|^Done|ERROR|SUMMARY' "$work/fuzz.log" || true
exit $status
