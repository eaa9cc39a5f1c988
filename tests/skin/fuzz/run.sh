#!/bin/bash
# Long fuzzing runs with libFuzzer (clang-14), outside the test suite:
#   tests/skin/fuzz/run.sh archive|description [seconds] [jobs]
# Builds the target into build/fuzz, seeds its corpus and runs it; the
# summary lines (executions, coverage) end up in build/fuzz/<target>.log.
set -euo pipefail
target=${1:?archive or description}
seconds=${2:-600}
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=$root/build/fuzz
mkdir -p "$out/corpus-$target" "$out/crashes-$target"
case $target in
    archive) source=ArchiveFuzz.cpp ;;
    description) source=DescriptionFuzz.cpp ;;
    *) echo "unknown target $target" >&2; exit 2 ;;
esac
code=(skin/Lzh.cpp skin/SkinArchive.cpp skin/SkinDescription.cpp skin/SkinPixels.cpp
      tools/skinkit/DefaultSkin.cpp tools/skinkit/SkinWriter.cpp
      framework/forms/Streams.cpp framework/forms/SysUtils.cpp framework/forms/Component.cpp
      framework/forms/Strings.cpp framework/forms/StdFileStore.cpp framework/core/Utf.cpp)
cd "$root"
clang++-14 -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. \
    "tests/skin/fuzz/$source" "${code[@]}" -o "$out/fuzz-$target"
# The seeds come from the replay build of the same target.
"$root/build/tests/skin/skin_fuzz_$target" --write-seeds "$out/corpus-$target"
"$out/fuzz-$target" "$out/corpus-$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="$out/crashes-$target/" -print_final_stats=1 2>&1 | tee "$out/$target.log" | tail -25
