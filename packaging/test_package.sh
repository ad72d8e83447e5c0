#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from the binaries in BUILD_DIR,
# unpacked with dpkg-deb -x, and tried there: lintian, control fields and version, the
# samples recognised quietly, the manual pages, desktop entry, icon and completion
# against --help.   test_package.sh BUILD_DIR SOURCE_DIR VERSION
# Exit 77 (skipped) only where dpkg-deb is absent.
set -uo pipefail
export LC_ALL=C  # one sort order, and plain ASCII from man
build=$1 source=$2 version=$3

if ! command -v dpkg-deb >/dev/null; then
  echo "SKIPPED: dpkg-deb is not installed, so no Debian package can be built or unpacked here"
  exit 77
fi

faults=0
fail() { echo "FAULT: $*"; faults=$((faults + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- build the package into a folder of its own ----
if ! (cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log"
  echo "FAULT: cpack failed"
  exit 1
fi
debs=("$work"/out/ormax_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAULT: no single ormax_*.deb"; exit 1; }
deb=${debs[0]}
root=$work/root
dpkg-deb -x "$deb" "$root" || { echo "FAULT: dpkg-deb -x failed"; exit 1; }
echo "package: $(basename "$deb")"

# lintian: no error or warning (the notes it may still give are listed in the README).
if ! command -v lintian >/dev/null; then
  fail "lintian is missing (scripts/install-deps.sh installs it)"
elif ! lintian --fail-on error,warning "$deb" >"$work/lintian.txt" 2>/dev/null; then
  fail "lintian: $(grep -E '^[EW]:' "$work/lintian.txt" | head -5)"
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ormax ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Section)" = graphics ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | wc -l)" -gt 3 ] || fail "the Description has no long text"
for dep in libqt6gui6 libqt6widgets6 libqt6core6 libstdc++6 libqt6svg6; do
  field Depends | grep -q "\b$dep\b" || fail "Depends lacks $dep: $(field Depends)"
done

# ---- the unpacked programs: version, and the samples recognised quietly ----
bin=$root/usr/bin
examples=$root/usr/share/ormax/examples
# The unpacked binaries run with the system's Qt; no XDG_RUNTIME_DIR, as under cron.
run() { env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY "$@"; }
[ "$(run "$bin/ormax-cli" --version 2>&1)" = "ormax-cli $version" ] ||
  fail "ormax-cli --version says '$(run "$bin/ormax-cli" --version 2>&1)'"
[ "$(run "$bin/ormax" --version 2>&1)" = "ormax $version" ] ||
  fail "ormax --version says '$(run "$bin/ormax" --version 2>&1)'"

declare -A expected=(
  [scene1]="triangle arrow ell cross star ellipse"
  [scene2]="square rectangle circle ring triangle ell"
  [scene3]="arrow star ellipse rectangle cross triangle"
)
(cd "$work" && run "$bin/ormax-cli" recognize "$examples"/scenes/scene{1,2,3}.bmp \
  --base "$examples/base/base.txt" --format csv >recognised.csv 2>/dev/null) ||
  fail "ormax-cli recognize failed on the unpacked samples"
for scene in scene1 scene2 scene3; do
  got=$(awk -F, -v s="$examples/scenes/$scene.bmp" '
    NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
    $col["scene"] == s { printf "%s%s", (n++ ? " " : ""), $col["label"] }' "$work/recognised.csv")
  [ "$got" = "${expected[$scene]}" ] || fail "$scene: labels '$got', expected '${expected[$scene]}'"
done
(cd "$work" && run "$bin/ormax-cli" recognize "$examples/scenes/scene1.bmp" \
  --base "$examples/base/base.txt" >/dev/null 2>stderr.txt) || fail "recognize (table) failed"
[ ! -s "$work/stderr.txt" ] || fail "a normal run wrote on stderr: $(head -3 "$work/stderr.txt")"
run "$bin/ormax-cli" recognize --help | head -1 | grep -qx 'Usage: ormax-cli recognize \[options\] scenes…' ||
  fail "recognize's usage line: '$(run "$bin/ormax-cli" recognize --help | head -1)'"

# Every command of the overview and the options of its --help.
commands=$(run "$bin/ormax-cli" --help | sed -n '/^Commands:/,/^$/p' | awk 'NF > 1 { print $1 }')
[ -n "$commands" ] || fail "the overview lists no commands"
options_of() { run "$bin/ormax-cli" "$1" --help | sed -n '/^Options:/,/^$/p' |
  grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u; }

# ---- the Python module's package, where the module is built: unpacked beside the
# programs, imported from the unpacked tree, the samples recognised as ormax-cli does ----
pydebs=("$work"/out/python3-ormax_*.deb)
if [ -f "${pydebs[0]}" ]; then
  pydeb=${pydebs[0]}
  echo "package: $(basename "$pydeb")"
  dpkg-deb -x "$pydeb" "$root" || fail "dpkg-deb -x of the module's package failed"
  if command -v lintian >/dev/null &&
     ! lintian --fail-on error,warning "$pydeb" >"$work/lintian-py.txt" 2>/dev/null; then
    fail "lintian: $(grep -E '^[EW]:' "$work/lintian-py.txt" | head -5)"
  fi
  for dep in python3 python3-numpy libqt6gui6; do
    dpkg-deb -f "$pydeb" Depends | grep -q "\b$dep\b" || fail "python3-ormax's Depends lacks $dep"
  done
  [ -s "$root/usr/share/doc/python3-ormax/copyright" ] || fail "no python3-ormax copyright file"
  got=$(cd "$work" && run env PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c '
import sys, ormax
print(ormax.__version__, ormax.__file__.startswith(sys.argv[1]))
base = ormax.Base.load(sys.argv[2] + "/base/base.txt")
for s in ("scene1", "scene2", "scene3"):
    scene = ormax.Scene.from_file(f"{sys.argv[2]}/scenes/{s}.bmp")
    print(" ".join(r.label for r in scene.recognize(base)))
' "$root" "$examples" 2>&1)
  want=$(printf '%s True\n%s\n%s\n%s' "$version" "${expected[scene1]}" "${expected[scene2]}" \
    "${expected[scene3]}")
  [ "$got" = "$want" ] || fail "the unpacked module gives '$got', expected '$want'"
fi

# ---- manual pages: render without warnings, and name everything --help names ----
man1=$root/usr/share/man/man1
for page in ormax ormax-cli; do
  [ -f "$man1/$page.1.gz" ] || { fail "no manual page $page(1)"; continue; }
  MANWIDTH=100 man --warnings -l "$man1/$page.1.gz" >"$work/$page.txt" 2>"$work/$page.warn" ||
    fail "man -l $page.1.gz failed"
  [ ! -s "$work/$page.warn" ] || fail "$page(1) renders with warnings: $(head -3 "$work/$page.warn")"
  grep -q "^NAME" "$work/$page.txt" || fail "$page(1) has no NAME section"
done
for command in $commands; do
  grep -qE "^ +$command\$" "$work/ormax-cli.txt" || fail "ormax-cli(1) has no section for '$command'"
  for option in $(options_of "$command"); do
    grep -qE -- "(^|[ ,])$option( |,|\$)" "$work/ormax-cli.txt" || fail "ormax-cli(1) lacks $command $option"
  done
done
for option in --base --help --version; do
  grep -q -- "$option" "$work/ormax.txt" || fail "ormax(1) lacks $option"
done

# ---- desktop entry and icon ----
entry=$root/usr/share/applications/ormax.desktop
if ! command -v desktop-file-validate >/dev/null; then
  fail "desktop-file-validate is missing (desktop-file-utils; scripts/install-deps.sh installs it)"
elif ! desktop-file-validate "$entry"; then
  fail "the desktop entry does not validate"
fi
grep -qx 'Exec=ormax %f' "$entry" || fail "the desktop entry does not open a file: $(grep ^Exec "$entry")"
grep -qx 'Icon=ormax' "$entry" || fail "the desktop entry names no icon 'ormax'"
cmp -s "$root/usr/share/icons/hicolor/scalable/apps/ormax.svg" "$source/data/ormax.svg" ||
  fail "the icon is not data/ormax.svg"
for doc in README.md copyright changelog.gz; do
  [ -s "$root/usr/share/doc/ormax/$doc" ] || fail "no /usr/share/doc/ormax/$doc"
done

# ---- bash completion: the commands, and each command's options, as --help has them ----
completions=$root/usr/share/bash-completion/completions
complete_words() {  # complete_words FILE FUNCTION WORD... : the candidates for the last word
  bash --norc -c 'source "$1"; f=$2; shift 2; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1));
    "$f"; printf "%s\n" "${COMPREPLY[@]}"' _ "$@" | sort -u
}
got=$(complete_words "$completions/ormax-cli" _ormax_cli ormax-cli "" | grep -v '^-' | tr '\n' ' ')
want=$(printf '%s\n' $commands | sort -u | tr '\n' ' ')
[ "$got" = "$want" ] || fail "completion offers the commands '$got', --help has '$want'"
for command in $commands; do
  got=$(complete_words "$completions/ormax-cli" _ormax_cli ormax-cli "$command" - | tr '\n' ' ')
  want=$(options_of "$command" | tr '\n' ' ')
  [ "$got" = "$want" ] || fail "completion of '$command -' offers '$got', --help has '$want'"
done
got=$(complete_words "$completions/ormax-cli" _ormax_cli ormax-cli recognize --format "" | tr '\n' ' ')
[ "$got" = "csv json table " ] || fail "completion of 'recognize --format' offers '$got'"
got=$(complete_words "$completions/ormax" _ormax ormax - | tr '\n' ' ')
[ "$got" = "--base --help --version -b -h " ] || fail "completion of 'ormax -' offers '$got'"

if [ $faults -ne 0 ]; then
  echo "$faults faults in the package"
  exit 1
fi
echo "the package installs, recognises the samples, and its pages, entry and completion hold"
