#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz"); each target first replays every input of its
# corpus (the seeds and every input that once failed), then fuzzes for a bounded time on a
# copy of it. Exits non-zero when a target crashes, fails one of its checks, hangs or runs out
# of memory; the input that did it is kept in build/fuzz/findings/<target>/.
#
#   fuzz/run.sh [seconds-per-target]      (default: FUZZ_SECONDS, else 5)
#   FUZZ_TARGETS="fuzz_quoting fuzz_jvm_cfg" fuzz/run.sh 600    (fuzzing long)
set -euo pipefail

seconds="${1:-${FUZZ_SECONDS:-5}}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: fuzz/run.sh [seconds-per-target]" >&2
  exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
targets=(${FUZZ_TARGETS:-fuzz_config_line fuzz_jvm_cfg fuzz_command_line fuzz_quoting fuzz_pe_resources})
build="$root/build/fuzz"

# libFuzzer's runtime comes with clang's runtime libraries, a package of its own on Debian.
probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
printf '#include <cstddef>\n#include <cstdint>\nextern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n' \
  > "$probe/probe.cpp"
if ! command -v clang++ > /dev/null || ! clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2> "$probe/log"; then
  cat "$probe/log" >&2 || true
  echo "fuzz: clang++ with libFuzzer is needed (Debian: clang and libclang-rt-14-dev)" >&2
  exit 2
fi

echo "fuzz: building the targets (preset fuzz)"
if ! cmake --preset fuzz > "$probe/configure.log" 2>&1; then
  cat "$probe/configure.log" >&2
  exit 2
fi
cmake --build --preset fuzz --target fuzz_all --parallel "${FUZZ_BUILD_JOBS:-2}"

passed=0
failed=0
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  work="$build/runs/$target"
  findings="$build/findings/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$findings"
  cp -R "$root/fuzz/corpus/$target/." "$work/corpus/"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$findings/")
  # Longer inputs reach no further into these line-oriented parsers and slow every run; the
  # configuration limit keeps a 2000-byte line, which grows the line buffer twice.
  case "$target" in
    fuzz_config_line) args+=(-max_len=2048) ;;
    fuzz_jvm_cfg) args+=(-max_len=1024) ;;
    fuzz_command_line) args+=(-max_len=512) ;;
    # Room for the small executables of its seeds and some growth.
    fuzz_pe_resources) args+=(-max_len=8192) ;;
  esac
  dict="$root/fuzz/dict/${target#fuzz_}.dict"
  [ -f "$dict" ] && args+=(-dict="$dict")

  set +e
  # -runs=0: every input of the corpus once, and nothing else, whatever the time given.
  "$binary" "${args[@]}" -runs=0 "$work/corpus" > "$work/replay.log" 2>&1
  status=$?
  if [ "$status" -eq 0 ]; then
    "$binary" "${args[@]}" "$work/corpus" > "$work/log" 2>&1
    status=$?
  else
    cp "$work/replay.log" "$work/log"
  fi
  set -e
  runs="$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$work/log" | tail -n 1)"
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    echo "fuzz: $target: corpus replayed, then ${runs:-?} runs in ${seconds} s, no failure"
  else
    failed=$((failed + 1))
    echo "fuzz: $target FAILED (exit $status); log: $work/log" >&2
    grep -E '==fuzz check failed|ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error|SUMMARY' "$work/log" \
      | head -n 20 >&2 || true
    grep -E '^artifact_prefix|Test unit written to' "$work/log" >&2 || true
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
