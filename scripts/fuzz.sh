#!/usr/bin/env bash
# Fuzzes the parsers of untrusted bytes with clang's libFuzzer under the
# address and undefined-behaviour sanitizers, two targets at a time.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
#   SECONDS  time per target (default 60)
#   TARGET   names as in fuzz/corpus/ (catalog, zip, audio_mp3, ...); all when none given
# New corpus entries and findings go to build/fuzz-out/TARGET/ (not committed).
# Each finding is replayed alone before it counts; one that does not fail
# again goes to build/fuzz-out/TARGET/unreproduced/ with the replay's output.
# A finding is replayed with: build/fuzz/fuzz/fuzz_TARGET FILE
# Once its fault is mended, copy it into fuzz/corpus/TARGET/ so that the test
# suite replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "Usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
    exit 2
fi

all=()
for d in fuzz/corpus/*/; do all+=("$(basename "$d")"); done
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
for t in "${targets[@]}"; do
    if [ ! -d "fuzz/corpus/$t" ]; then
        echo "fuzz.sh: no target '$t'; targets: ${all[*]}" >&2
        exit 2
    fi
done

source scripts/setup.sh release
libfuzzer_works() {
    echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
        clang++ -x c++ -fsanitize=fuzzer,address,undefined - -o /dev/null 2>/dev/null
}
if ! command -v clang++ > /dev/null || ! libfuzzer_works; then
    echo "Installing: clang libclang-rt-dev"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        clang libclang-rt-dev
fi

build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
    launcher=()
    if command -v ccache > /dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DTAMBLIX_FUZZ=ON \
        -DTAMBLIX_BUILD_TESTS=OFF -DTAMBLIX_BUILD_BENCH=OFF "${launcher[@]}"
fi
nice cmake --build "$build" --target "${targets[@]/#/fuzz_}"
# The video reader is a module; the fuzz programs are not where the programs look for it.
export TAMBLIX_MODULE_DIR=$PWD/$build/src/media

# One target: libFuzzer's fork mode goes on after a finding, so that one
# fault does not hide the others.
run_one() {
    local t=$1 root=$PWD
    local out=$root/build/fuzz-out/$1
    mkdir -p "$out/corpus" "$out/findings"
    local dict=()
    if [ -f "fuzz/dict/$t.dict" ]; then dict=(-dict="$root/fuzz/dict/$t.dict"); fi
    touch "$out/started"
    (cd "$out" && nice -n 19 "$root/$build/fuzz/fuzz_$t" -fork=1 -ignore_crashes=1 \
        -ignore_timeouts=1 -ignore_ooms=1 -timeout=10 -rss_limit_mb=2048 \
        -max_total_time="$seconds" -artifact_prefix="$out/findings/" "${dict[@]}" \
        "$out/corpus" "$root/fuzz/corpus/$t") > "$out/log" 2>&1 || true
    # A finding counts only when it fails again alone, in a fresh process; one
    # that does not is set aside with its log, to be looked into, not fixed.
    local new=0 f
    mkdir -p "$out/unreproduced"
    for f in "$out"/findings/*; do
        [ -f "$f" ] || continue
        [ "$f" -nt "$out/started" ] || continue
        if (cd "$out" && timeout 60 "$root/$build/fuzz/fuzz_$t" -rss_limit_mb=2048 \
                -timeout=10 "$f") > "$f.replay" 2>&1; then
            mv "$f" "$f.replay" "$out/unreproduced/"
        else
            rm -f "$f.replay"
            new=$((new + 1))
        fi
    done
    echo "$new" > "$out/new-findings"
    echo "$(find "$out/unreproduced" -type f ! -name '*.replay' -newer "$out/started" | wc -l)" \
        > "$out/unreproduced-count"
}

echo "Fuzzing ${#targets[@]} target(s) for ${seconds} s each, two at a time..."
for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n || true; done
    run_one "$t" &
done
wait

# libFuzzer's status lines: "#N: cov: C ft: F corp: K exec/s E oom/timeout/crash: a/b/c time: Ts ...".
# "flat" marks a target whose coverage did not grow in the second half of its run.
printf '\n%-18s %12s %8s %8s %6s %9s %12s\n' target executions cov corpus growth findings unreproduced
total_new=0
for t in "${targets[@]}"; do
    out=build/fuzz-out/$t
    read -r execs cov half < <(awk -v total="$seconds" '
        /^#[0-9]+: cov:/ {
            n = substr($1, 2); sub(":", "", n)
            c = $3; tm = $0; sub(/.* time: /, "", tm); sub(/s.*/, "", tm)
            if (tm + 0 <= total / 2) h = c
            e = n; last = c
        }
        END { print (e == "" ? "?" : e), (last == "" ? "?" : last), (h == "" ? "?" : h) }' "$out/log")
    growth=grew
    if [ "$cov" = "$half" ]; then growth=flat; fi
    corp=$(find "$out/corpus" "fuzz/corpus/$t" -type f | wc -l)
    new=$(cat "$out/new-findings")
    total_new=$((total_new + new))
    printf '%-18s %12s %8s %8s %6s %9s %12s\n' "$t" "$execs" "$cov" "$corp" "$growth" "$new" \
        "$(cat "$out/unreproduced-count")"
done
echo
echo "Logs, new corpus entries and findings: build/fuzz-out/TARGET/"
[ "$total_new" -eq 0 ]
