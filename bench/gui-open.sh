#!/bin/sh
# Times the real program opening a generated document under Xvfb, from its
# launch until its tree is shown, from the pixels on the screen, and keeps a
# screenshot to look at.
#   bench/gui-open.sh BUILD_FOLDER [OBJECTS] [SCREENSHOT.png] [LAUNCHES]
# For each launch, screen_changes watches the first rows of the tree's pane
# from before the launch: the window is shown when they first change, and
# the tree when they last change before they stay the same for two seconds
# (the splash screen, gone two seconds after the start, lies below them).
# The program starts with no window settings of its own, so its window is
# always in the same place: a first launch, not timed, finds it on the
# screen once the splash screen is gone. Prints each launch, then the
# minimum and the median; with VIMRA_GUI_OPEN_BOXES set, also each change
# of those rows (its time and WIDTHxHEIGHT+X+Y box).
set -eu
build=$1
objects=${2:-16000}
shot=${3:-/tmp/vimra-gui-open.png}
launches=${4:-3}
work=${VIMRA_GUI_OPEN_WORK:-/tmp/vimra-gui-open}
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
export DISPLAY="$display" VIMRA_CONFIG="$work/vimra.conf" XDG_CONFIG_HOME="$work/config"

: > "$work/times"
# Where the window lies: all that is not the black background once the
# splash screen is gone. The tree's first row lies 76 pixels below its top.
"$program" "$work/out/saved/Copy.xml" >/dev/null 2>&1 &
app=$!
sleep 4
import -window root "$work/window.png"
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
region=$(convert "$work/window.png" -trim -format '%X %Y' info: | awk '{ printf "216x40+%d+%d", $1, $2 + 76 }')
echo "tree rows watched: $region"
for i in $(seq "$launches"); do
    rm -f "$work/ready"
    "$build/bench/screen_changes" 2 "$work/ready" "$region" > "$work/changes" 2> "$work/boxes" &
    watcher=$!
    while [ ! -e "$work/ready" ]; do sleep 0.01; done
    start=$(date +%s.%N)
    "$program" "$work/out/saved/Copy.xml" >/dev/null 2>&1 &
    app=$!
    wait "$watcher"
    [ "$i" = "$launches" ] && import -window root "$shot" 2>/dev/null || true
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    read -r first last frames < "$work/changes"
    [ -n "${VIMRA_GUI_OPEN_BOXES:-}" ] && awk -v s="$start" '{ printf "  changed %.3f s: %s\n", $1 - s, $2 }' "$work/boxes"
    echo "$start $first $last $frames" | awk -v n="$objects" '{
        printf "%d objects: window shown %.3f s, tree shown %.3f s after the launch (%d pictures)\n", n, $2 - $1, $3 - $1, $4
        print $3 - $1 >> "'"$work/times"'" }'
    sleep 1
done
sort -n "$work/times" | awk '{ t[NR] = $1 } END {
    m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "tree shown: min %.3f s, median %.3f s over %d launches\n", t[1], m, NR }'
echo "screenshot $shot"
