#!/usr/bin/env bash
# The run command and the package set-up on a copy of the scripts, with the
# installer, the build and the program stood in for by stubs that log their
# calls.  Usage: RunCommandTest.sh SCRIPTS_FOLDER
set -uo pipefail
scripts=$(realpath "${1:?scripts folder}")
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

co="$t/checkout"
mkdir -p "$co/scripts" "$co/build/shell" "$t/bin"
cp "$scripts/run.sh" "$scripts/make-sample.sh" "$co/scripts/"
log="$t/log"
stub() { # file, body
  printf '#!/usr/bin/env bash\n%s\n' "$2" > "$1"
  chmod +x "$1"
}
stub "$co/scripts/install-deps.sh" "echo install >> '$log'"
stub "$t/bin/cmake" "echo cmake >> '$log'"
stub "$co/build/shell/vimra" "echo \"vimra \$*\" >> '$log'"
run() { env "$@" PATH="$t/bin:$PATH" "$co/scripts/run.sh" "${args[@]}" 2> "$t/err"; }

# No display: one line, before anything is installed or built.
: > "$log"
args=()
run -u DISPLAY -u WAYLAND_DISPLAY && fail "ran without a display"
[ "$(wc -l < "$t/err")" -eq 1 ] && grep -q "graphical display" "$t/err" || fail "no display: $(cat "$t/err")"
[ -s "$log" ] && fail "installed or built without a display: $(cat "$log")"

# The first start makes the sample and opens it.
doc="$co/sample/Sample.xml"
: > "$log"
run -u WAYLAND_DISPLAY DISPLAY=:99 || fail "first start: $(cat "$t/err")"
grep -qx "vimra $doc" "$log" || fail "first start opened: $(cat "$log")"
grep -q "<Title>Harbour at dawn</Title>" "$doc" || fail "no sample made"

# The cataloguer's changes and new objects survive the next start.
sed -i 's|<Title>Harbour at dawn</Title>|<Title>Described by me</Title>|' "$doc"
echo "<Version/>" > "$co/sample/Sample_files/Sample_version2.xml"
: > "$log"
run -u DISPLAY WAYLAND_DISPLAY=wayland-0 || fail "second start: $(cat "$t/err")"
grep -qx "vimra $doc" "$log" || fail "second start opened: $(cat "$log")"
grep -q "<Title>Described by me</Title>" "$doc" || fail "the next start rewrote the sample"
[ -e "$co/sample/Sample_files/Sample_version2.xml" ] || fail "the next start removed a new object"

# A fresh sample on request; the rest of the arguments go to the program.
: > "$log"
args=(--fresh-sample --extra)
run -u WAYLAND_DISPLAY DISPLAY=:99 || fail "fresh start: $(cat "$t/err")"
grep -qx "vimra $doc --extra" "$log" || fail "fresh start opened: $(cat "$log")"
grep -q "<Title>Harbour at dawn</Title>" "$doc" || fail "--fresh-sample kept the changes"
[ -e "$co/sample/Sample_files/Sample_version2.xml" ] && fail "--fresh-sample kept an object of the old sample"

# Packages missing, not root and no sudo: one line that says so, nothing run.
cp "$scripts/install-deps.sh" "$co/scripts/install-deps.sh"
mkdir -p "$t/nosudo"
stub "$t/nosudo/dpkg-query" "exit 1"
stub "$t/nosudo/id" "echo 1000"
stub "$t/nosudo/apt-get" "echo apt-get >> '$log'"
ln -s "$(command -v grep)" "$t/nosudo/grep"
ln -s "$(command -v bash)" "$t/nosudo/bash"
: > "$log"
env PATH="$t/nosudo" /bin/bash "$co/scripts/install-deps.sh" > "$t/out" 2> "$t/err" && fail "installed without root"
[ "$(wc -l < "$t/err")" -eq 1 ] && grep -q "needs root" "$t/err" || fail "no sudo: $(cat "$t/err")"
[ -s "$log" ] || [ -s "$t/out" ] && fail "ran without root: $(cat "$log" "$t/out")"

[ "$failures" -eq 0 ] && echo "run command: all passed"
exit "$failures"
