#!/usr/bin/env bash
# package_test.sh BUILD
#
# Checks the Debian packages that `make package` left in BUILD as an archive
# and a user would meet them: lintian finds nothing that is not explained by
# an override; the binaries are hardened; kadrel-cli needs no Qt and the GUI
# only recommends what it can run without; both install into a throw-away
# root, work from there, and remove without leaving a file behind.
set -euo pipefail
build=$1
debs=("$build"/kadrel_*.deb "$build"/kadrel-cli_*.deb)
for deb in "${debs[@]}"; do [ -f "$deb" ] || { echo "no package $deb; run make package" >&2; exit 1; }; done
root=$(mktemp -d "${TMPDIR:-/tmp}/kadrel-package.XXXXXX")
trap 'rm -rf "$root"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

if ! tags=$(lintian --pedantic --display-experimental --fail-on error,warning,info,pedantic,experimental \
    "${debs[@]}" 2>&1 | grep -v '^running with root privileges'; exit "${PIPESTATUS[0]}"); then
  fail "lintian reports tags without an override:"$'\n'"$tags"
fi

field() { dpkg-deb -f "$1" "$2"; }
gui=${debs[0]} cli=${debs[1]}
case "$(field "$cli" Depends)" in *qt6* | *kadrel*) fail "kadrel-cli depends on the GUI: $(field "$cli" Depends)" ;; esac
for optional in xchm qt6-translations-l10n fonts-noto-cjk; do
  case "$(field "$gui" Depends)" in *"$optional"*) fail "kadrel requires $optional, which it runs without" ;; esac
  case "$(field "$gui" Recommends)" in *"$optional"*) ;; *) fail "kadrel does not recommend $optional" ;; esac
done

# A fresh dpkg database: the packages' own files are checked, not what the
# host has installed.
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The libraries are the host's, so their absence from this root is no fault.
dpkg_root() {
  local out
  out=$(dpkg --root="$root" --force-depends --force-not-root --log=/dev/null "$@" 2>&1) ||
    fail "dpkg $*: $out"
}
dpkg_root --install "${debs[@]}"

usr=$root/usr
hardening-check --quiet --nocfprotection "$usr/bin/kadrel-cli" "$usr/libexec/kadrel/kadrel" ||
  fail "binaries without Debian's hardening"
[ -f "$usr/libexec/kadrel/HelpKD.chm" ] || fail "the help file is not found beside the program"
[ -f "$usr/share/doc/kadrel/README.md" ] || fail "the about box's README is missing or compressed"
# The installed holiday files are read without a complaint.
out=$(XDG_DATA_DIRS="$usr/share" "$usr/bin/kadrel-cli" --data "$root/data" day 2026-02-17 2>&1) ||
  fail "kadrel-cli does not run from the package: $out"
case "$out" in *春节*) ;; *) fail "kadrel-cli does not know the holidays: $out" ;; esac
case "$out" in *holidays*) fail "the installed holiday files are damaged: $out" ;; esac

dpkg_root --purge kadrel kadrel-cli
left=$(cd "$root" && find . -path ./var -prune -o \( -type f -o -type l \) -print | head)
[ -z "$left" ] || fail "files left after purging: $left"
echo "packages pass lintian, are hardened and install and purge cleanly"
