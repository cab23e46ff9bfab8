#!/usr/bin/env bash
# Runs the fuzz targets one after the other, each for a number of seconds,
# in a scratch folder: new inputs and crash files land there, never in the
# source tree.
#
#   fuzz/run.sh BIN_DIR WORK_DIR SECONDS [TARGET ...]
#       Each target (all of them by default) starts from its committed corpus
#       (fuzz/corpus/TARGET) and, for the text targets, the scripts in
#       tests/data/, fuzz/seeds/ (odd scripts written to start the fuzzers)
#       and the sample scripts beside the repository.
#   fuzz/run.sh --corpus BIN_DIR WORK_DIR SECONDS [TARGET ...]
#       The same without the sample scripts, which are third-party files
#       that must not end up in the repository; what each clean run found
#       then replaces fuzz/corpus/TARGET, minimised.
set -u

corpus_mode=0
if [ "${1:-}" = --corpus ]; then
    corpus_mode=1
    shift
fi
if [ $# -lt 3 ]; then
    sed -n '2,15p' "$0" >&2
    exit 2
fi
bin=$(realpath "$1")
work=$(realpath -m "$2")
seconds=$3
shift 3
src=$(cd "$(dirname "$0")/.." && pwd)

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for f in "$bin"/fuzz_*; do
        [ -x "$f" ] && targets+=("${f##*/fuzz_}")
    done
fi
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets in $bin" >&2
    exit 2
fi

# The longest input each target is given, whether scripts seed it, and its dictionary.
max_len() {
    case $1 in
        path) echo 512 ;;
        zip32) echo 1024 ;;
        *) echo 4096 ;;
    esac
}
takes_scripts() {
    case $1 in
        path | zip32 | textures) return 1 ;;
        *) return 0 ;;
    esac
}
dictionary() {
    case $1 in
        checker | lexer | scene) echo "-dict=$src/fuzz/rwx.dict" ;;
    esac
}

export LSAN_OPTIONS="suppressions=$src/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

rm -rf "$work"
mkdir -p "$work/scripts"
# Only the scripts of those folders, not their notes and licences.
script_dirs=("$src/tests/data" "$src/fuzz/seeds")
[ "$corpus_mode" = 0 ] && script_dirs+=("$src/../shared/samples/rwx")
for d in "${script_dirs[@]}"; do
    [ -d "$d" ] && find "$d" -type f -iname '*.rwx' -exec cp -t "$work/scripts" {} +
done
echo "seed scripts: $(ls "$work/scripts" | wc -l)"

failed=()
printf '%-8s %10s %8s %6s %6s %s\n' target runs exec/s cov ft result
for t in "${targets[@]}"; do
    dir="$work/$t"
    mkdir -p "$dir/new"
    corpora=("$dir/new")
    [ -d "$src/fuzz/corpus/$t" ] && corpora+=("$src/fuzz/corpus/$t")
    [ -d "$src/fuzz/regressions/$t" ] && corpora+=("$src/fuzz/regressions/$t")
    takes_scripts "$t" && corpora+=("$work/scripts")
    # TMPDIR too: a target's own scratch files stay in the work folder even when it crashes.
    (cd "$dir" && TMPDIR="$dir" "$bin/fuzz_$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/" $(dictionary "$t") \
        "${corpora[@]}" >"$dir/log" 2>&1)
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log")
    last=$(grep -E '^#[0-9]+' "$dir/log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    result=clean
    if [ "$rc" != 0 ]; then
        result="FAILED: $(find "$dir" -maxdepth 1 -regex '.*/\(crash\|leak\|timeout\|oom\|slow-unit\)-.*' | tr '\n' ' ')"
        failed+=("$t")
    elif [ "$corpus_mode" = 1 ]; then
        mkdir -p "$dir/minimised" "$src/fuzz/corpus/$t"
        found=()  # everything but the regression inputs, which keep their own folder
        for c in "${corpora[@]}"; do
            [ "$c" != "$src/fuzz/regressions/$t" ] && found+=("$c")
        done
        if (cd "$dir" && TMPDIR="$dir" "$bin/fuzz_$t" -merge=1 -max_len="$(max_len "$t")" \
                "$dir/minimised" "${found[@]}" >"$dir/merge.log" 2>&1); then
            find "$src/fuzz/corpus/$t" -type f -delete
            cp "$dir/minimised"/* "$src/fuzz/corpus/$t"/
            result="clean; corpus: $(ls "$src/fuzz/corpus/$t" | wc -l) inputs, $(cat "$src/fuzz/corpus/$t"/* | wc -c) bytes"
        else
            result="clean; merging FAILED, see $dir/merge.log"
            failed+=("$t")
        fi
    fi
    printf '%-8s %10s %8s %6s %6s %s\n' "$t" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
echo "logs, new inputs and crash files: $work"
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed: ${failed[*]} (each one's log: $work/TARGET/log)"
    exit 1
fi
