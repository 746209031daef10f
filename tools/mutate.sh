#!/usr/bin/env bash
# Mutation check of the game model. Plants the faults listed in
# tools/mutants.txt one at a time, rebuilds the model's test programs and runs
# them; a mutant is killed when a test fails, crashes or times out.
#
#   tools/mutate.sh [PATTERN ...]    (only the mutants whose line holds a PATTERN)
#
# The checkout is never touched: its files are mirrored into
# build-mutate/tree (only changed files are copied, so builds stay
# incremental) and the faults are planted there, built in build-mutate/build
# (RelWithDebInfo, no sanitizer). MUTATE_JOBS (4), MUTATE_TIMEOUT (seconds per
# test program, 120), MUTATE_PROGRAMS (the test folders run, "core play
# records formations view ai net") and MUTATE_DIR change the defaults.
# MUTATE_FILTER_<folder> (e.g. MUTATE_FILTER_net) is a gtest filter for that
# folder's program; by default the LAN program leaves out its battles between
# junqi-lan processes and its longer battles over sockets (a minute or more;
# ten seconds for the side that takes each read as one packet), and keeps the
# one short battle over 127.0.0.1. MUTATE_FILTER_net= (empty)
# runs all of them.
# MUTATE_SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer
# instead (Debug, in build-mutate/build-sanitize, 600 s per program): faults
# that only read or write out of bounds are caught there.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=$root/tools/mutants.txt
out=${MUTATE_DIR:-$root/build-mutate}
tree=$out/tree
build=$out/build
jobs=${MUTATE_JOBS:-4}
limit=${MUTATE_TIMEOUT:-120}
flavour=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DJQ_SANITIZE=OFF)
if [ "${MUTATE_SANITIZE:-0}" = 1 ]; then
    build=$out/build-sanitize
    limit=${MUTATE_TIMEOUT:-600}
    flavour=(-DCMAKE_BUILD_TYPE=Debug -DJQ_SANITIZE=ON)
    export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
export QT_QPA_PLATFORM=offscreen
started=$(date +%s)

# Copies the checkout (tracked and new files) into the mirror.
sync_tree() {
    mkdir -p "$tree"
    (cd "$root" && git ls-files -co --exclude-standard) | sort -u > "$out/files.new"
    while IFS= read -r f; do
        [ -f "$root/$f" ] || continue
        cmp -s "$root/$f" "$tree/$f" && continue
        mkdir -p "$tree/$(dirname "$f")"
        cp "$root/$f" "$tree/$f"
    done < "$out/files.new"
    if [ -f "$out/files" ]; then
        comm -23 "$out/files" "$out/files.new" | while IFS= read -r f; do
            [ -e "$root/$f" ] || rm -f "$tree/$f"
        done
    fi
    mv "$out/files.new" "$out/files"
}

# snippet FILE ORIGINAL REPLACEMENT check|apply: "\n" in the snippets is a
# line break. check prints how often ORIGINAL occurs; apply replaces it.
snippet() {
    python3 - "$@" <<'EOF'
import sys
path, old, new, mode = sys.argv[1:5]
old, new = old.replace('\\n', '\n'), new.replace('\\n', '\n')
with open(path, encoding='utf-8', errors='surrogateescape') as f:
    text = f.read()
if mode == 'check':
    print(text.count(old) if old else 0)
else:
    with open(path, 'w', encoding='utf-8', errors='surrogateescape') as f:
        f.write(text.replace(old, new, 1))
EOF
}

saved=""
restore() {
    if [ -n "$saved" ]; then cp "$out/saved" "$tree/$saved"; saved=""; fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

mkdir -p "$out"
sync_tree
programs=()
for t in ${MUTATE_PROGRAMS:-core play records formations view ai net}; do
    [ -d "$tree/tests/$t" ] && programs+=("$t")
done
targets=("${programs[@]/%/_tests}")
: "${MUTATE_FILTER_net=-HeadlessSides.*:*/WholeBattle.*:*/HostileSides.*:LanLoopback.HostAndThreeSidesPlayTwoWholeBattles:LanLoopback.ASideTakingEachReadAsOnePacketPlaysAWholeBattle}"

# The gtest filter for one test folder's program (empty: every test).
filter_of() {
    local v=MUTATE_FILTER_$1
    echo "${!v-}"
}

build_tests() { cmake --build "$build" -j "$jobs" --target "${targets[@]}" > "$out/build.log" 2>&1; }

# Runs every test program at once (the computer player's in four shards),
# each writing its exit status to rc.NAME; stops the others at the first
# failure, prints its name and returns 1. Returns 0 when all pass.
run_tests() {
    local runs=() pids=() r t i rc failed=""
    for t in "${programs[@]}"; do
        if [ "$t" = ai ]; then runs+=(ai.0 ai.1 ai.2 ai.3); else runs+=("$t"); fi
    done
    rm -f "$out"/rc.*
    for r in "${runs[@]}"; do
        (
            t=${r%%.*}
            [ "$t" = ai ] && export GTEST_TOTAL_SHARDS=4 GTEST_SHARD_INDEX=${r#ai.}
            filter=$(filter_of "$t")
            [ -n "$filter" ] && export GTEST_FILTER=$filter
            timeout -k 5 "$limit" "$build/bin/${t}_tests" > "$out/test-$r.log" 2>&1 &
            child=$!
            trap 'kill $child 2>/dev/null; exit' TERM
            wait $child
            echo $? > "$out/rc.$r.new" && mv "$out/rc.$r.new" "$out/rc.$r"
        ) &
        pids+=($!)
    done
    while [ -z "$failed" ]; do
        sleep 0.1
        local finished=0
        for r in "${runs[@]}"; do
            [ -f "$out/rc.$r" ] || continue
            finished=$((finished + 1))
            rc=$(< "$out/rc.$r")
            [ "$rc" = 0 ] && continue
            failed=${r%%.*}
            [ "$rc" = 124 ] && failed="$failed, timeout"
        done
        [ "$finished" -eq "${#runs[@]}" ] && break
    done
    [ -n "$failed" ] && kill "${pids[@]}" 2>/dev/null
    wait
    [ -z "$failed" ] && return 0
    echo "$failed"
    return 1
}

echo "Building the unchanged model in $build ..."
cmake -S "$tree" -B "$build" "${flavour[@]}" -DJQ_BENCH=OFF \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST > "$out/cmake.log" 2>&1 \
    || { cat "$out/cmake.log"; exit 2; }
build_tests || { tail -30 "$out/build.log"; exit 2; }
if ! why=$(run_tests); then
    echo "The tests fail without any mutant ($why); see $out/test-*.log"
    exit 2
fi

mapfile -t lines < <(grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$list")
if [ $# -gt 0 ]; then
    mapfile -t lines < <(printf '%s\n' "${lines[@]}" | grep -F "${@/#/-e}")
fi
killed=0 survived=0 stale=0 broken=0 n=0
survivors=()
for line in "${lines[@]}"; do
    n=$((n + 1))
    file=${line%%: *}
    rest=${line#*: }
    [[ $rest == *" ==>" ]] && rest="$rest "   # "original ==>" drops the snippet
    old=${rest%% ==> *}
    new=${rest#* ==> }
    old=${old%"${old##*[![:space:]]}"}
    tag="[$n/${#lines[@]}] $file: $old ==> $new"
    if [[ $rest != *" ==> "* ]] || [ ! -f "$tree/$file" ] || [ "$(snippet "$tree/$file" "$old" "$new" check)" != 1 ]; then
        echo "stale     $tag"
        stale=$((stale + 1))
        continue
    fi
    cp "$tree/$file" "$out/saved"
    saved=$file
    snippet "$tree/$file" "$old" "$new" apply
    if ! build_tests; then
        echo "no build  $tag"
        broken=$((broken + 1))
    elif why=$(run_tests); then
        echo "SURVIVED  $tag"
        survived=$((survived + 1))
        survivors+=("$file: $old ==> $new")
    else
        echo "killed    $tag  ($why)"
        killed=$((killed + 1))
    fi
    restore
done

build_tests   # leave the build matching the restored tree
echo
echo "Survivors:"
for s in "${survivors[@]}"; do echo "  $s"; done
total=$((killed + survived))
rate=$(awk -v k="$killed" -v t="$total" 'BEGIN{printf "%.1f", t ? 100 * k / t : 0}')
echo "Killed $killed of $total mutants ($rate %); $stale stale, $broken not building;" \
    "$(( $(date +%s) - started )) s."
[ "$stale" -eq 0 ] && [ "$broken" -eq 0 ]
