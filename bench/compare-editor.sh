#!/bin/sh
# Checks that the editor benchmark's recorded run of segment operations gives
# the same messages, segment list, chain, slider, strip, expression tree and
# saved files as a recorded reference.
#   bench/compare-editor.sh EDITOR_BENCH_BINARY REFERENCE_FOLDER [SEGMENTS]
# With no REFERENCE_FOLDER yet, records it (run this with the older build);
# otherwise records again and compares byte for byte. Identifiers are
# absolute paths, so both runs use the same fixed working folder
# (VIMRA_COMPARE_WORK, or one under /tmp named after the size).
set -eu
bench=$1
reference=$2
segments=${3:-1000}
work=${VIMRA_COMPARE_WORK:-/tmp/vimra-editor-compare-$segments}
rm -rf "$work"
VIMRA_BENCH_DIR="$work/doc" "$bench" --record "$work/out" "$segments" >/dev/null
if [ ! -d "$reference" ]; then
    mkdir -p "$reference"
    cp -a "$work/out/." "$reference/"
    echo "reference recorded in $reference"
else
    # The settings file is the benchmark's own, naming the checkout it ran from.
    diff -r -x vimra.conf "$reference" "$work/out" >/dev/null && echo "identical: messages, segment list and chain, slider, strip, tree and saved files after every step" || {
        echo "DIFFERENT:"
        diff -rq -x vimra.conf "$reference" "$work/out" | head -20
        exit 1
    }
fi
rm -rf "$work"
