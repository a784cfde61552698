#!/usr/bin/env bash
# install_test.sh BUILD EXPECTED SOURCE SANITIZED
#
# Installs BUILD into a scratch DESTDIR under /usr, as `make install` and the
# package do, and checks the list of files against EXPECTED; that no binary
# carries the source or build folder (not checked in a sanitizer build, whose
# instrumentation names its source files); and that the installed launcher
# makes a private data folder, enters it and runs the program there.
set -euo pipefail
build=$1 expected=$2 source=$3 sanitized=$4
root=$(mktemp -d "${TMPDIR:-/tmp}/kadrel-install.XXXXXX")
trap 'rm -rf "$root"' EXIT
dest=$root/dest

DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
(cd "$dest" && find . \( -type f -o -type l \) | sed 's#^\.##' | LC_ALL=C sort) >"$root/files"
diff -u "$expected" "$root/files"

for exe in usr/bin/kadrel-cli usr/libexec/kadrel/kadrel usr/bin/kadrel; do
  [ -x "$dest/$exe" ] || { echo "$exe is not executable" >&2; exit 1; }
done
[ -f "$dest/usr/libexec/kadrel/HelpKD.chm" ] || { echo "the program does not find its help file" >&2; exit 1; }
if [ "$sanitized" != 1 ]; then
  for exe in usr/bin/kadrel-cli usr/libexec/kadrel/kadrel; do
    strip --strip-debug -o "$root/stripped" "$dest/$exe"
    for folder in "$source" "$build"; do
      if grep -qF "$folder" "$root/stripped"; then
        echo "$exe names the build machine's folder $folder" >&2
        exit 1
      fi
    done
  done
fi

# The launcher, with a stand-in program that reports where it runs.
printf '#!/bin/sh\npwd\necho "$@"\n' >"$dest/usr/libexec/kadrel/kadrel"
launch() { env -i PATH=/usr/bin:/bin HOME="$root/home" "$@" "$dest/usr/bin/kadrel" one two; }
mkdir -p "$root/home"
check() {  # FOLDER OUTPUT
  [ "$2" = "$1"$'\n'"one two" ] || { echo "launcher ran in: $2 (expected $1)" >&2; exit 1; }
  [ "$(stat -c %a "$1")" = 700 ] || { echo "$1 is not private: $(stat -c %a "$1")" >&2; exit 1; }
}
check "$root/home/.local/share/kadrel" "$(launch)"
check "$root/xdg/kadrel" "$(launch XDG_DATA_HOME="$root/xdg")"
# XDG: a relative XDG_DATA_HOME is ignored.
check "$root/home/.local/share/kadrel" "$(cd "$root" && launch XDG_DATA_HOME=xdg-relative)"
[ ! -e "$root/xdg-relative" ] || { echo "a relative XDG_DATA_HOME was used" >&2; exit 1; }
echo "install tree and launcher as expected"
