#!/bin/sh
# Checks that opening and saving-as a generated document gives the same
# registry, messages, status texts and written bytes as a recorded reference.
#   bench/compare.sh BENCH_BINARY REFERENCE_FOLDER [OBJECTS]
# With no REFERENCE_FOLDER yet, records it (run this with the older build);
# otherwise records again and compares byte for byte. Identifiers are
# absolute paths, so both runs use the same fixed working folders (another
# may be named in VIMRA_COMPARE_WORK when two checks run at once).
set -eu
bench=$1
reference=$2
objects=${3:-4000}
work=${VIMRA_COMPARE_WORK:-/tmp/vimra-bench-compare}
rm -rf "$work"
"$bench" --objects "$objects" --dir "$work/doc" --record "$work/out"
if [ ! -d "$reference" ]; then
    mkdir -p "$reference"
    cp -a "$work/out/." "$reference/"
    echo "reference recorded in $reference"
else
    diff -r "$reference" "$work/out" >/dev/null && echo "identical: registry, messages, status texts and every file save-as wrote" || {
        echo "DIFFERENT:"
        diff -rq "$reference" "$work/out" | head -20
        exit 1
    }
fi
rm -rf "$work"
