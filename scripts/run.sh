#!/usr/bin/env bash
# Installs what is missing, builds vimra and starts it on a sample document
# made for this machine, with the bundled schema and vocabulary. The sample
# is made at the first start only, so later starts open it as it was left;
# --fresh-sample (or deleting the folder sample/) makes it again.
#   scripts/run.sh [--fresh-sample] [VIMRA ARGUMENTS...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fresh=false
if [ "${1:-}" = "--fresh-sample" ]; then
  fresh=true
  shift
fi
# Without a display the window cannot open: say so before minutes of set-up.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: vimra needs a graphical display, and neither DISPLAY nor WAYLAND_DISPLAY is set; run it in a desktop session." >&2
  exit 1
fi
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target vimra
sample=$(realpath -m "$root/sample")
doc="$sample/Sample.xml"
if $fresh; then
  rm -rf "$sample"
fi
if [ ! -e "$doc" ]; then
  doc=$(./scripts/make-sample.sh "$sample")
fi
cat > "$sample/vimra.conf" <<CONF
[Vimra]
XSDPath=$root/resources/vimra.xsd
ThematicKeywordsPath=$root/resources/ThematicKeywords.xml
TolvServer=
TolvPort=
DMName=
HTTPServer=
CONF
export VIMRA_CONFIG="$sample/vimra.conf"
exec "$root/build/shell/vimra" "$doc" "$@"
