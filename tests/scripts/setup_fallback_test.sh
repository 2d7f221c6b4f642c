#!/bin/bash
# scripts/setup.sh against stand-ins for apt-get, dpkg, dpkg-query and id,
# first on PATH: a mirror whose i386 indexes fail as a mirror mid-sync does,
# a sound one, a second run, an amd64 package that cannot be installed, and
# an i386 architecture the machine had before. Needs no root, no network.
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0

fail() {
  echo "setup_fallback_test: $CASE: $*" >&2
  failures=$((failures + 1))
}

# The stand-ins keep the machine's state in $STATE: installed packages one a
# line (installed), foreign architectures (arches), every call (calls).
mkdir -p "$WORK/bin"
cat >"$WORK/bin/apt-get" <<'STUB'
#!/bin/bash
echo "apt-get $*" >>"$STATE/calls"
for arg in "$@"; do
  case $arg in
    update) exit "${STUB_UPDATE_RC:-0}" ;;
  esac
done
pkgs=()
for arg in "$@"; do
  case $arg in
    install | -* | Acquire*) ;;
    *) pkgs+=("$arg") ;;
  esac
done
for p in "${pkgs[@]}"; do
  # An i386 index of another date: apt resolves by removing an installed
  # package unless told not to.
  if [[ $p == *:i386 ]] && [ -n "${STUB_I386_REMOVES:-}" ]; then
    if [[ " $* " == *" --no-remove "* ]]; then
      echo "E: Packages need to be removed but remove is disabled." >&2
      exit 100
    fi
    grep -vxF "$STUB_I386_REMOVES" "$STATE/installed" >"$STATE/installed.new"
    mv "$STATE/installed.new" "$STATE/installed"
  fi
  if [[ $p == *:i386 ]] && [ -n "${STUB_BROKEN_I386:-}" ]; then
    echo "E: Unable to correct problems, you have held broken packages." >&2
    exit 100
  fi
  if [ "$p" = "${STUB_UNINSTALLABLE:-}" ]; then
    echo "E: Unable to locate package $p" >&2
    exit 100
  fi
done
printf '%s\n' "${pkgs[@]}" >>"$STATE/installed"
STUB
cat >"$WORK/bin/dpkg" <<'STUB'
#!/bin/bash
echo "dpkg $*" >>"$STATE/calls"
case $1 in
  --print-foreign-architectures) cat "$STATE/arches" ;;
  --add-architecture) echo "$2" >>"$STATE/arches" ;;
  --remove-architecture) grep -vx "$2" "$STATE/arches" >"$STATE/arches.new"; mv "$STATE/arches.new" "$STATE/arches" ;;
esac
STUB
cat >"$WORK/bin/dpkg-query" <<'STUB'
#!/bin/bash
# dpkg-query -W -f=FORMAT [PACKAGE]
format=${2#-f=}
if [ $# -ge 3 ]; then
  grep -qxF "$3" "$STATE/installed" || { echo "dpkg-query: no packages found matching $3" >&2; exit 1; }
  printf 'install ok installed'
  exit 0
fi
if [ "$format" = '${Architecture}\n' ]; then
  while read -r p; do [[ $p == *:i386 ]] && echo i386 || echo amd64; done <"$STATE/installed"
fi
STUB
printf '#!/bin/sh\necho "${STUB_UID:-0}"\n' >"$WORK/bin/id"
chmod +x "$WORK/bin/"*

# The amd64 list, as setup.sh declares it.
mapfile -t AMD64 < <(sed -n '/^PACKAGES=(/,/^)/p' scripts/setup.sh | sed '1d;$d' | tr ' ' '\n' | sed '/^$/d')
[ ${#AMD64[@]} -gt 10 ] || { echo "setup_fallback_test: could not read setup.sh's package list" >&2; exit 1; }

# run_setup CASE [VAR=VALUE...]: a run of setup.sh on the current state.
run_setup() {
  CASE=$1
  shift
  env "$@" PATH="$WORK/bin:$PATH" STATE="$STATE" SETUP_RETRY_DELAY=0 \
    bash "$ROOT/scripts/setup.sh" >"$STATE/out" 2>&1
}
fresh_state() {
  STATE=$WORK/$1
  mkdir -p "$STATE"
  : >"$STATE/installed"
  : >"$STATE/arches"
  : >"$STATE/calls"
}
has_all_amd64() {
  local p
  for p in "${AMD64[@]}"; do
    grep -qxF "$p" "$STATE/installed" || { fail "$p was not installed"; return; }
  done
}
calls() { grep -c -- "$1" "$STATE/calls"; }

# A mirror whose i386 indexes fail: every update exits 100 and wine32
# cannot be installed.
fresh_state broken
run_setup "broken mirror" STUB_UPDATE_RC=100 STUB_BROKEN_I386=1 || fail "exit status $? (want 0)"
has_all_amd64
grep -qxF wine32:i386 "$STATE/installed" && fail "wine32:i386 reported installed"
[ "$(calls 'apt-get -o Acquire::Retries=3 update')" -ge 3 ] || fail "apt-get update was not tried three times"
grep -q "could not be installed" "$STATE/out" || fail "no report that wine32 is missing"
grep -q "x64 build" "$STATE/out" || fail "the report does not say the suites run on the x64 build"
grep -q "bash scripts/setup.sh" "$STATE/out" || fail "the report does not say how to retry"
grep -q "^dpkg --remove-architecture i386" "$STATE/calls" || fail "the i386 architecture was not removed"
[ -s "$STATE/arches" ] && fail "i386 is still a foreign architecture"

# The same mirror once it is sound again: the retry of the report installs
# wine32 and keeps the architecture.
run_setup "retry on a sound mirror" || fail "exit status $? (want 0)"
grep -qxF wine32:i386 "$STATE/installed" || fail "wine32:i386 not installed"
grep -qx i386 "$STATE/arches" || fail "the i386 architecture is not there"

# A sound mirror from the start: as before the fallback existed.
fresh_state sound
run_setup "sound mirror" || fail "exit status $? (want 0)"
has_all_amd64
grep -qxF wine32:i386 "$STATE/installed" || fail "wine32:i386 not installed"
grep -qx i386 "$STATE/arches" || fail "the i386 architecture is not there"
[ "$(calls 'update')" = 2 ] || fail "apt-get update ran $(calls update) times (want one a step)"
grep -q "remove-architecture" "$STATE/calls" && fail "the i386 architecture was removed"
: >"$STATE/calls"
run_setup "second run" || fail "exit status $? (want 0)"
[ -s "$STATE/calls" ] && grep -q "^apt-get\|add-architecture" "$STATE/calls" && fail "a second run called apt-get or dpkg: $(cat "$STATE/calls")"

# A mid-sync i386 index whose resolution would remove an amd64 package:
# wine32 is given up, the package stays.
fresh_state removes
run_setup "i386 install would remove a package" STUB_I386_REMOVES=wine64 || fail "exit status $? (want 0)"
has_all_amd64
grep -qxF wine32:i386 "$STATE/installed" && fail "wine32:i386 reported installed"
grep -q "could not be installed" "$STATE/out" || fail "no report that wine32 is missing"

# An amd64 package that cannot be installed is an error that names it.
fresh_state uninstallable
run_setup "amd64 package missing" STUB_UNINSTALLABLE=wine64 && fail "exit status 0 (want an error)"
grep -q "could not install.*wine64" "$STATE/out" || fail "the error does not name the packages"

# An i386 architecture the machine had before the run is left alone.
fresh_state had_i386
echo i386 >"$STATE/arches"
run_setup "i386 there before" STUB_UPDATE_RC=100 STUB_BROKEN_I386=1 || fail "exit status $? (want 0)"
grep -qx i386 "$STATE/arches" || fail "removed an i386 architecture it had not added"

# Without root, a missing wine32 alone does not stop the tests; a missing
# amd64 package does.
fresh_state not_root
printf '%s\n' "${AMD64[@]}" >"$STATE/installed"
run_setup "not root, wine32 missing" STUB_UID=1000 || fail "exit status $? (want 0)"
grep -q "^apt-get\|^dpkg --add" "$STATE/calls" && fail "tried to install without root"
grep -q "x64 build" "$STATE/out" || fail "does not say the suites run on the x64 build"
sed -i '/^wine64$/d' "$STATE/installed"
run_setup "not root, wine64 missing" STUB_UID=1000 && fail "exit status 0 (want an error)"

if [ "$failures" -gt 0 ]; then
  echo "setup_fallback_test: $failures failures" >&2
  exit 1
fi
echo "setup_fallback_test: broken mirror, sound mirror, second run, removal refused, missing package, earlier i386, not root: passed"
