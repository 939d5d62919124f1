#!/bin/sh
# Times the real program opening a generated document under Xvfb: from the
# start until its tree is shown and the program is idle (its CPU time stops
# growing for two seconds), and keeps a screenshot to look at.
#   bench/gui-open.sh BUILD_FOLDER [OBJECTS] [SCREENSHOT.png]
set -eu
build=$1
objects=${2:-16000}
shot=${3:-/tmp/vimra-gui-open.png}
work=/tmp/vimra-gui-open
root=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$work"
# The recorded save-as copy is a whole document of that size.
"$build/bench/vimra_bench" --objects "$objects" --dir "$work/gen" --record "$work/out" >/dev/null
printf '[Vimra]\nXSDPath=%s\nThematicKeywordsPath=%s\n' "$root/resources/vimra.xsd" "$root/resources/ThematicKeywords.xml" > "$work/vimra.conf"

display=:$((90 + $$ % 9))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
start=$(date +%s.%N)
DISPLAY=$display VIMRA_CONFIG="$work/vimra.conf" "$build/shell/vimra" "$work/out/saved/Copy.xml" >/dev/null 2>&1 &
app=$!
cpu=0
# Busy while it used at least half a core over the last half second; the
# tree is shown when it stops being busy (a clock ticks on afterwards).
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
import -display "$display" -window root "$shot" 2>/dev/null || true
kill "$app" 2>/dev/null || true
kill "$xvfb" 2>/dev/null || true
echo "tree shown after $(echo "$last - $start" | bc) s, $(echo "$cpu / 100" | bc -l | cut -c1-5) s of CPU ($objects objects); screenshot $shot"
rm -rf "$work"
