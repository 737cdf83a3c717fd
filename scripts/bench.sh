#!/usr/bin/env bash
# Idle cost, start-up time, executable size and backup cost of the Windows build, measured side
# by side with minimal reference windows in one Wine session under Xvfb, with a prefix of its
# own (build/windows/benchprefix). Not part of the test run.
#
#   bash scripts/bench.sh
#
# BENCH_SECONDS (default 60): length of each idle sample; BENCH_ROUNDS (default 3): idle samples
# per state, of which the median is printed; BENCH_STARTS (default 15): start-ups timed per
# program, alternately. CPU time is read from /proc/<pid>/task/*/schedstat (nanoseconds on CPU).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/windows

if [ "${1:-}" != --inside ]; then
    export CMAKE_BUILD_PARALLEL_LEVEL=2
    [ -f "$build/CMakeCache.txt" ] || cmake --preset windows >/dev/null
    cmake --build --preset windows --target stenvault backup_bench visio-standin ref_window \
        ref_form launch_timer >/dev/null
    . scripts/wine-env.sh "$build/benchprefix"
    export LC_ALL=C.UTF-8
    wineserver -k 2>/dev/null || true
    rc=0
    # Without -noreset the X server starts afresh, pointer centred, whenever Wine's last
    # process has ended between two samples.
    xvfb-run -a -s "-screen 0 1600x1000x24 -noreset" bash "$0" --inside || rc=$?
    wineserver -k 2>/dev/null || true
    exit $rc
fi

sample=${BENCH_SECONDS:-60}
rounds=${BENCH_ROUNDS:-3}
starts=${BENCH_STARTS:-15}
stenvault=$build/stenvault.exe
reference=$build/ref_window.exe
form=$build/ref_form.exe
key='HKCU\Software\VB and VBA Program Settings\Veltrane\Stenvault'

wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null
standin=$(find "$build" -maxdepth 2 -name 'visio-standin.exe' | head -n 1)
wine "$standin" /RegServer >/dev/null 2>&1 </dev/null
# Counting towards the longest interval, so no backup run falls into a sample.
setting() { wine reg add "$key" /v "$1" /d "$2" /f >/dev/null 2>&1 </dev/null; }
setting OftenIndex 10
setting StartStopState On
setting "Windows Startup" Off
setting Minimized Off

# Nanoseconds on CPU of all threads of one process.
cpu_ns() {
    local total=0 ns f
    for f in /proc/"$1"/task/*/schedstat; do
        read -r ns _ <"$f" 2>/dev/null || continue
        total=$((total + ns))
    done
    echo "$total"
}

started=()
start() {
    wine "$@" >/dev/null 2>&1 </dev/null &
    started+=($!)
    last=$!
}
stop_started() {
    local pid
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${started[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    started=()
    sleep 2
}

# Samples two running processes side by side; prints their CPU seconds per minute.
idle_pair() {
    local a=$1 b=$2 a0 b0 a1 b1
    a0=$(cpu_ns "$a")
    b0=$(cpu_ns "$b")
    sleep "$sample"
    a1=$(cpu_ns "$a")
    b1=$(cpu_ns "$b")
    awk -v a=$((a1 - a0)) -v b=$((b1 - b0)) -v t="$sample" \
        'BEGIN { printf "%.4f %.4f\n", a / 1e9 * 60 / t, b / 1e9 * 60 / t }'
}

median() { printf '%s\n' "$@" | awk NF | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { printf '%s\n' "$@" | awk NF | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { print lo "-" hi }'; }
lowest() { printf '%s\n' "$@" | awk NF | sort -g | head -n 1; }

echo "Idle: ${rounds} rounds of two ${sample}-s samples (about $((rounds * (2 * sample + 40))) s)..." >&2
# The pointer rests in a corner that no window covers (see ref_window's pointer mode).
park_pointer() { wine "$reference" pointer 0 999 >/dev/null 2>&1 </dev/null || true; }
shown_app=() shown_ref=() hidden_app=() hidden_ref=()
for _ in $(seq "$rounds"); do
    setting Minimized Off
    start "$stenvault"
    app=$last
    start "$reference" shown 1100 60
    ref=$last
    park_pointer
    sleep 12
    read -r a r < <(idle_pair "$app" "$ref")
    shown_app+=("$a") shown_ref+=("$r")
    stop_started

    setting Minimized On
    start "$stenvault"
    app=$last
    start "$reference" hidden
    ref=$last
    sleep 15 # start-up, the 5-s balloon wait, and the window gone into the tray
    read -r a r < <(idle_pair "$app" "$ref")
    hidden_app+=("$a") hidden_ref+=("$r")
    stop_started
done
setting Minimized Off

echo "Start-up, ${starts} times each..." >&2
launch() {
    # A start that shows no window leaves its figure out rather than ending the run.
    wine "$build/launch_timer.exe" "$(winepath -w "$1")" "${@:2}" 2>/dev/null </dev/null |
        tr -d '\r' || true
}
launch "$stenvault" >/dev/null || true # warm the caches for all three
launch "$form" >/dev/null || true
launch "$reference" startup >/dev/null || true
app_starts=()
form_starts=()
ref_starts=()
for _ in $(seq "$starts"); do
    app_starts+=("$(launch "$stenvault")")
    form_starts+=("$(launch "$form")")
    ref_starts+=("$(launch "$reference" startup)")
done

echo "Backup cost against the stand-in..." >&2
bench_out=$(wine "$build/backup_bench.exe" 2>&1 </dev/null | tr -d '\r' || true)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "-" }'; }
each_ratio() { # per-round ratios of two arrays given by name
    local -n xs=$1 ys=$2
    local i out=()
    for i in "${!xs[@]}"; do out+=("$(ratio "${xs[$i]}" "${ys[$i]}")"); done
    echo "${out[*]}"
}
app_median=$(median "${app_starts[@]}")
form_median=$(median "${form_starts[@]}")
ref_median=$(median "${ref_starts[@]}")
sa=$(median "${shown_app[@]}") sr=$(median "${shown_ref[@]}")
ha=$(median "${hidden_app[@]}") hr=$(median "${hidden_ref[@]}")

echo
echo "Stenvault benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(wine --version)"
echo
echo "Idle CPU, seconds per minute (median of ${rounds} ${sample}-s samples, side by side)"
printf '  %-22s %10s %10s %8s   %s\n' "" stenvault reference ratio "each round"
printf '  %-22s %10s %10s %8s   %s\n' "shown, counting down" "$sa" "$sr" "$(ratio "$sa" "$sr")" \
    "$(each_ratio shown_app shown_ref)"
printf '  %-22s %10s %10s %8s   %s\n' "hidden in the tray" "$ha" "$hr" "$(ratio "$ha" "$hr")" \
    "$(each_ratio hidden_app hidden_ref)"
echo
# The fastest start shows the program's own cost best: the machine's noise only ever adds.
app_fastest=$(lowest "${app_starts[@]}")
form_fastest=$(lowest "${form_starts[@]}")
ref_fastest=$(lowest "${ref_starts[@]}")
echo "Process start to window shown, ms (${starts} starts each: median, fastest, range)"
printf '  %-26s %8s %8s   %-14s %s\n' "" median fastest range "ratios (median, fastest)"
printf '  %-26s %8s %8s   %-14s\n' stenvault "$app_median" "$app_fastest" \
    "$(range "${app_starts[@]}")"
printf '  %-26s %8s %8s   %-14s %s %s\n' "same window, nothing else" "$form_median" \
    "$form_fastest" "$(range "${form_starts[@]}")" "$(ratio "$app_median" "$form_median")" \
    "$(ratio "$app_fastest" "$form_fastest")"
printf '  %-26s %8s %8s   %-14s %s %s\n' "empty window" "$ref_median" "$ref_fastest" \
    "$(range "${ref_starts[@]}")" "$(ratio "$app_median" "$ref_median")" \
    "$(ratio "$app_fastest" "$ref_fastest")"
echo
echo "Executable: stenvault.exe $(stat -c %s "$stenvault") bytes"
echo
echo "backup_bench (1- and 20-page drawings in the stand-in):"
printf '%s\n' "$bench_out" | sed 's/^/  /'
