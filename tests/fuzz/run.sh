#!/bin/bash
# Runs the fuzz targets of a fuzz build.
#   run.sh <fuzz build> <work folder> [seconds per target]
# Without seconds: the seed run of the test suite (each seed, then a few
# hundred mutations of them). With seconds: a long run of each target, its
# corpus kept in the work folder. Exits non-zero on a crash, a hang (an
# input over 20 s) or a sanitizer report; libFuzzer writes the input that
# did it into the work folder.
set -u
bin=${1:?usage: run.sh <fuzz build> <work folder> [seconds]}
work=${2:?work folder}
seconds=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
"$here/seeds.sh" "$work/seeds" || exit 1
status=0
for pair in OpenProbeDecodeFuzz:open FrameSizeFuzz:sizes; do
    target=${pair%%:*}
    kind=${pair##*:}
    mkdir -p "$work/corpus/$kind"
    if [ -n "$seconds" ]; then
        limits=(-max_total_time="$seconds" "$work/corpus/$kind")
    else
        # A fresh corpus each time: the seed run does the same work always.
        rm -rf "$work/corpus/$kind.ci"
        mkdir -p "$work/corpus/$kind.ci"
        limits=(-runs=200 "$work/corpus/$kind.ci")
    fi
    # One decoding thread per codec: quicker under the sanitizer, and kind
    # to a shared machine.
    ASAN_OPTIONS=detect_leaks=1 taskset -c "$(( $(nproc) - 1 ))" \
        "$bin/$target" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$work/$target-" \
        "${limits[@]}" "$work/seeds/$kind" >"$work/$target.log" 2>&1
    rc=$?
    grep -E '^stat::number_of_executed_units|^Done|ERROR|SUMMARY' "$work/$target.log" | sed "s/^/$target: /"
    [ $rc -eq 0 ] || { echo "$target failed ($rc), see $work/$target.log"; status=1; }
done
exit $status
