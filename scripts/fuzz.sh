#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (address and undefined
# behaviour sanitizers) into build-fuzz/, apart from the main build, and runs
# each for SECONDS (default 25) on its seed corpus. A crash fails the run and
# its input is kept in fuzz/corpus/<target>/, so every later run replays it.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-25}
out=${KVR_FUZZ_DIR:-$top/build-fuzz}
cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cxx" ]; then
    echo "clang++ is not installed (scripts/deps.sh installs it)" >&2
    exit 1
fi
launcher=()
command -v ccache >/dev/null && launcher=(ccache)

flags=(-std=c++17 -g -O1 -fPIC -fsanitize=fuzzer-no-link,address,undefined
       -fno-sanitize-recover=undefined -DQT_NO_KEYWORDS -DQT_USE_QSTRINGBUILDER -I"$top")
read -ra qt_cflags <<<"$(pkg-config --cflags Qt6Core)"
read -ra libs <<<"$(pkg-config --libs Qt6Core)"
flags+=("${qt_cflags[@]}")
if grep -qs simdjson "$top"/protocol/*.cpp; then
    read -ra extra <<<"$(pkg-config --cflags simdjson)"
    flags+=("${extra[@]}")
    read -ra extra <<<"$(pkg-config --libs simdjson)"
    libs+=("${extra[@]}")
fi

# The wire layer whole, the rule record, and of the server only what reads a delta.
sources=("$top"/protocol/*.cpp "$top/fiscal/RuleRecord.cpp" "$top/server/rdm/RuleDelta.cpp"
         "$top/server/rdm/RuleRecord.cpp")
mkdir -p "$out/obj"
objects=()
rm -f "$out/failed"
for src in "${sources[@]}"; do
    obj="$out/obj/$(basename "$(dirname "$src")")_$(basename "$src" .cpp).o"
    objects+=("$obj")
    # Headers change too: rebuild when any is newer than the object.
    if [ ! -f "$obj" ] || [ -n "$(find "$top/protocol" "$top/fiscal" "$top/server/rdm" "$src" -newer "$obj" -print -quit)" ]; then
        { "${launcher[@]}" "$cxx" "${flags[@]}" -c "$src" -o "$obj" || touch "$out/failed"; } &
        if (($(jobs -r | wc -l) >= $(nproc))); then wait -n; fi
    fi
done
wait
if [ -e "$out/failed" ]; then
    echo "the fuzz targets do not compile" >&2
    exit 1
fi

status=0
for main in "$top"/fuzz/fuzz_*.cpp; do
    name=$(basename "$main" .cpp)
    target=${name#fuzz_}
    if [ ! -x "$out/$name" ] || [ -n "$(find "$main" "${objects[@]}" -newer "$out/$name" -print -quit)" ]; then
        "${launcher[@]}" "$cxx" "${flags[@]}" -fsanitize=fuzzer "$main" "${objects[@]}" "${libs[@]}" \
            -o "$out/$name"
    fi
    seeds="$top/fuzz/corpus/$target"
    found="$out/corpus/$target" # what the run adds stays out of the tree
    crashes="$out/crashes/$target"
    mkdir -p "$seeds" "$found" "$crashes"
    symbolizer=$(command -v llvm-symbolizer-14 || command -v llvm-symbolizer || true)
    echo "fuzzing $target for $seconds s"
    if ! ASAN_SYMBOLIZER_PATH=$symbolizer "$out/$name" -max_total_time="$seconds" -timeout=10 \
        -max_len=16384 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$found" "$seeds" 2>"$out/$name.log"; then
        tail -n 60 "$out/$name.log" >&2
        for input in "$crashes"/*; do
            [ -f "$input" ] && cp "$input" "$seeds/" && echo "kept $seeds/$(basename "$input")" >&2
        done
        status=1
    else
        grep -E "^(stat::number_of_executed_units|stat::new_units_added)" "$out/$name.log" || true
    fi
done
exit $status
