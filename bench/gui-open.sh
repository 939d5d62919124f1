#!/bin/sh
# Times the real program opening a generated document under Xvfb, from its
# start until its tree is shown, and keeps a screenshot to look at.
#   bench/gui-open.sh BUILD_FOLDER [OBJECTS] [SCREENSHOT.png] [LAUNCHES]
# Where perf can place probes on the program (as root, with perf installed),
# each launch gives exact times: when the open begins (the program has
# started and shown its window), when it ends, and when the tree is shown.
# Elsewhere the tree counts as shown when the program stops being busy (its
# CPU time stops growing), which overstates it by up to half a second.
set -eu
build=$1
objects=${2:-16000}
shot=${3:-/tmp/vimra-gui-open.png}
launches=${4:-3}
work=/tmp/vimra-gui-open
root=$(cd "$(dirname "$0")/.." && pwd)
program="$build/shell/vimra"
rm -rf "$work"
# The recorded save-as copy is a whole document of that size.
"$build/bench/vimra_bench" --objects "$objects" --dir "$work/gen" --record "$work/out" >/dev/null
printf '[Vimra]\nXSDPath=%s\nThematicKeywordsPath=%s\n' "$root/resources/vimra.xsd" "$root/resources/ThematicKeywords.xml" > "$work/vimra.conf"

display=:$((90 + $$ % 9))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY="$display" VIMRA_CONFIG="$work/vimra.conf"

symbol() { nm "$program" | awk -v s="$1" '$3 ~ s {print $3; exit}'; }
probes=no
if command -v perf >/dev/null 2>&1; then
    perf probe -q -d 'probe_vimra:vimra_*' >/dev/null 2>&1 || true
    if perf probe -q -x "$program" --no-demangle \
            -a "vimra_open=$(symbol DocumentCommands7OpenDoc)" \
            -a "vimra_opened=$(symbol AVDocument13openRelatives)%return" \
            -a "vimra_tree=$(symbol frmMain14ShowAVDocTitle)%return" >/dev/null 2>&1; then
        probes=yes
    fi
fi

if [ "$probes" = yes ]; then
    for i in $(seq "$launches"); do
        timeout 8 perf record -q -o "$work/perf.data" -e sched:sched_process_exec \
            -e probe_vimra:vimra_open -e probe_vimra:vimra_opened__return -e probe_vimra:vimra_tree__return \
            "$program" "$work/out/saved/Copy.xml" >/dev/null 2>&1 || true
        perf script -i "$work/perf.data" -F time,event 2>/dev/null | tr -d ':' | awk -v n="$objects" '
            NR == 1 { start = $1 }
            /vimra_open / && !open { open = $1 }
            /vimra_opened/ && !opened { opened = $1 }
            /vimra_tree/ && !tree { tree = $1 }
            END { printf "%d objects: open begins %.3f s, ends %.3f s (%.3f s), tree shown %.3f s after the start\n",
                         n, open - start, opened - start, opened - open, tree - start }'
    done
    perf probe -q -d 'probe_vimra:vimra_*' >/dev/null 2>&1 || true
fi

# One more launch, left running for the screenshot; timed by its CPU use
# when there were no probes.
start=$(date +%s.%N)
"$program" "$work/out/saved/Copy.xml" >/dev/null 2>&1 &
app=$!
cpu=0
last=$start
samples=""
while sleep 0.1; do
    now=$(date +%s.%N)
    ticks=$(awk '{print $14 + $15}' "/proc/$app/stat" 2>/dev/null || echo gone)
    [ "$ticks" = gone ] && break
    samples="$samples $ticks"
    set -- $samples
    if [ $# -gt 5 ]; then
        shift $(($# - 6))
        samples="$*"
    fi
    first=$1
    if [ $((ticks - first)) -ge 25 ]; then
        last=$now
        cpu=$ticks
    elif [ "$(echo "$now - $last > 3" | bc)" = 1 ]; then
        break
    fi
done
import -window root "$shot" 2>/dev/null || true
kill "$app" 2>/dev/null || true
if [ "$probes" = no ]; then
    echo "tree shown after at most $(echo "$last - $start" | bc) s, $(echo "$cpu / 100" | bc -l | cut -c1-5) s of CPU ($objects objects)"
fi
echo "screenshot $shot"
