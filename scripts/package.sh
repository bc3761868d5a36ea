#!/usr/bin/env bash
# The Debian package, made with cpack from the build folder scripts/build.sh made (nothing is
# built again), then checked as an admin would get it: unpacked with dpkg-deb into a scratch
# folder, its programs print their version, run the main job on samples/sample.log with no
# display and no build folder in reach (templates and image helper found through the
# installed layout) and write the same report as the programs of the build folder; its man
# pages format without a warning. The package is left in $BUILD_DIR/package/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}

rm -rf "$build/package"
(cd "$build" && cpack -G DEB) >&2
debs=("$build"/package/barvik_*.deb)
deb=${debs[0]}
echo "== package: $deb" >&2
dpkg-deb -f "$deb" Package Version Depends >&2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
usr=$scratch/root/usr
fail() {
  echo "package check: $*" >&2
  exit 1
}

# The headless runs see no display and keep their cache in the scratch folder.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "XDG_CACHE_HOME=$scratch/cache")

echo "== --version" >&2
version=$(dpkg-deb -f "$deb" Version)
for program in barvik barvik-cli; do
  line=$("${headless[@]}" "$usr/bin/$program" --version)
  echo "$line" >&2
  [[ $line == "$program $version (build "*")" ]] || fail "$program --version says '$line'"
done

echo "== the main job from the unpacked programs" >&2
# Their progress is shown only when a run fails.
run() {
  "${headless[@]}" "$@" 2>"$scratch/run.err" || {
    cat "$scratch/run.err" >&2
    fail "$* failed"
  }
}
run "$usr/bin/barvik" samples/sample.log "$scratch/batch/"
run "$usr/bin/barvik-cli" export samples/sample.log "$scratch/export/"
run "$build/barvik-cli" export samples/sample.log "$scratch/built/"
# The same report, file for file, but for the time of the run in the footers.
masked() {
  LC_ALL=C sed -E -e 's/Statistics generated [^<]*<br>/#/' \
    -e 's/<footer>Generated [^<]* with Barvik build/#/' -e 's/"generated":"[^"]*"/#/' "$1"
}
files() { (cd "$1" && find . -path ./.barvik.lock -prune -o -print | LC_ALL=C sort); }
for report in batch export; do
  diff <(files "$scratch/built") <(files "$scratch/$report") >&2 ||
    fail "the installed programs' report ($report) has other files than the build folder's"
  while IFS= read -r -d '' f; do
    cmp -s <(masked "$scratch/built/$f") <(masked "$scratch/$report/$f") ||
      fail "$report/$f differs from the build folder's"
  done < <(cd "$scratch/built" && find . -type f ! -name .barvik.lock -print0)
done

echo "== copyright, changelog, unit" >&2
for doc in copyright changelog.gz; do
  [ -s "$usr/share/doc/barvik/$doc" ] || fail "no /usr/share/doc/barvik/$doc"
done
unit=$usr/lib/systemd/system/barvik-watch@.service
grep -q '^RestartPreventExitStatus=2$' "$unit" || fail "the unit restarts on bad settings"
grep -q '^ProtectSystem=strict$' "$unit" || fail "the unit is not hardened"
[ -x "$usr/libexec/barvik/barvik-watch" ] || fail "no watch wrapper in /usr/libexec/barvik"
grep -q '^ExecStart=/usr/libexec/barvik/barvik-watch %i ' "$unit" || fail "the unit starts no wrapper"

echo "== man pages" >&2
for page in barvik barvik-cli; do
  file=$usr/share/man/man1/$page.1.gz
  [ -f "$file" ] || fail "no man page $page(1)"
  warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l $page(1): $warnings"
  MANWIDTH=80 man -l "$file" | grep -q "^SYNOPSIS" || fail "$page(1) has no SYNOPSIS"
done
# The pages are written by hand: say which options of --help they lack (a note, not a
# failure, so that a new option does not stop CI before its page is written).
page_text=$(MANWIDTH=200 man -l "$usr/share/man/man1/barvik-cli.1.gz" 2>/dev/null)
for option in $("$usr/bin/barvik-cli" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
  grep -qF -- "$option" <<<"$page_text" || echo "note: barvik-cli(1) does not name $option" >&2
done
echo "package checked: $deb" >&2
