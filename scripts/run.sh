#!/usr/bin/env bash
# Installs what is missing, builds vimra and starts it on a sample document
# made for this machine, with the bundled schema and vocabulary.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target vimra
doc=$(./scripts/make-sample.sh "$root/sample")
cat > "$root/sample/vimra.conf" <<CONF
[Vimra]
XSDPath=$root/resources/vimra.xsd
ThematicKeywordsPath=$root/resources/ThematicKeywords.xml
TolvServer=
TolvPort=
DMName=
HTTPServer=
CONF
export VIMRA_CONFIG="$root/sample/vimra.conf"
exec "$root/build/shell/vimra" "$doc" "$@"
