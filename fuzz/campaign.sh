#!/usr/bin/env bash
# Fuzzing campaign: installs clang when missing, builds the libFuzzer
# binaries in build-fuzz/ and runs each target for SECONDS.
#   fuzz/campaign.sh SECONDS [name ...]     (no name: every target)
# New inputs go to build-fuzz/corpus/<name>/ (the committed seeds stay as
# they are); crashes go to build-fuzz/findings/<name>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/campaign.sh SECONDS [name ...]}
shift
if ! command -v clang++ >/dev/null 2>&1; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang >/dev/null
fi
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in fuzz/*.cpp; do
    n=$(basename "$f" .cpp)
    [ "$n" = replay_driver ] || names+=("$n")
  done
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJQ_FUZZ=ON >/dev/null
targets=()
for n in "${names[@]}"; do targets+=("fuzz_$n"); done
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
for n in "${names[@]}"; do
  work=build-fuzz/corpus/$n
  findings=build-fuzz/findings/$n
  mkdir -p "$work" "$findings"
  log=build-fuzz/fuzz-$n.log
  echo "== $n: $seconds s"
  status=0
  build-fuzz/bin/fuzz_"$n" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" "fuzz/corpus/$n" >"$log" 2>&1 || status=$?
  execs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
  crashes=$(find "$findings" -type f | wc -l)
  echo "$n: ${execs:-?} executions, corpus $(find "$work" -type f | wc -l) inputs, $crashes findings, exit $status"
  if [ "$crashes" -gt 0 ]; then
    find "$findings" -type f | sed 's/^/  /'
    grep -m5 -E 'ERROR|SUMMARY' "$log" | sed 's/^/  /' || true
  fi
done
