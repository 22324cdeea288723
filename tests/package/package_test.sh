#!/usr/bin/env bash
# Builds the Debian package with scripts/package and checks its control
# fields, its files, that the units it installs are the project's, and that
# lintian finds no error in it.
# Usage: package_test.sh SOURCE_DIR VERSION
set -euo pipefail
source_dir=$1 version=$2
arch=$(dpkg --print-architecture)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
fail() {
  echo "FAIL $*"
  status=1
}

start=$(date +%s)
deb=$("$source_dir/scripts/package" "$tmp/out" | tail -n 1)
echo "scripts/package took $(($(date +%s) - start)) s"
[ "$deb" = "$tmp/out/zelvo_${version}_${arch}.deb" ] || fail "package file $deb"
[ -f "$deb" ] || { echo "FAIL no package"; exit 1; }

dpkg-deb --info "$deb" >"$tmp/info"
cat "$tmp/info"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = zelvo ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
# The libraries the program links, as dpkg-shlibdeps found them, adduser for
# the maintainer scripts, and the libraries opened at first use.
depends=$(field Depends)
for package in libc6 'libstdc++6' libxml2 libqt6core6 libqt6network6 libqt6widgets6 adduser \
  libmosquitto1 libssl3 libxcb1 libxcb-ewmh2; do
  [[ ", $depends," == *", $package "[\(,]* || ", $depends," == *", $package,"* ]] ||
    fail "Depends lacks $package: $depends"
done
[[ "$depends" == *"libc6 (>= "* ]] || fail "Depends without versions from the shared libraries: $depends"
grep -qE '^ +[0-9]+ bytes, +[0-9]+ lines +\* +postinst ' "$tmp/info" ||
  fail "postinst missing or not executable"
for script in prerm postrm md5sums; do
  grep -qE "^ +[0-9]+ bytes, +[0-9]+ lines .* $script " "$tmp/info" || fail "$script missing"
done

# Every file with its mode, owned by root.
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | LC_ALL=C sort -k3 >"$tmp/files"
cat >"$tmp/expected" <<'LIST'
-rw-r--r-- root/root ./lib/systemd/system/zelvo.service
-rw-r--r-- root/root ./lib/systemd/system/zelvo@.service
-rwxr-xr-x root/root ./usr/bin/zelvo
-rwxr-xr-x root/root ./usr/libexec/zelvo/zelvo-headless
-rw-r--r-- root/root ./usr/share/applications/zelvo.desktop
-rw-r--r-- root/root ./usr/share/doc/zelvo/README.md.gz
-rw-r--r-- root/root ./usr/share/doc/zelvo/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/zelvo/copyright
-rw-r--r-- root/root ./usr/share/doc/zelvo/examples/config.xml
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/zelvo.svg
-rw-r--r-- root/root ./usr/share/man/man1/zelvo.1.gz
LIST
diff -u "$tmp/expected" "$tmp/files" || fail "the package's files differ from the list above"

# The installed units and their companions are the project's.
dpkg-deb -x "$deb" "$tmp/root"
for unit in zelvo.service zelvo@.service; do
  cmp -s "$source_dir/packaging/$unit" "$tmp/root/lib/systemd/system/$unit" || fail "$unit differs"
done
cmp -s "$source_dir/packaging/copyright" "$tmp/root/usr/share/doc/zelvo/copyright" || fail "copyright differs"
cmp -s "$source_dir/src/config/resources/config.example.xml" \
  "$tmp/root/usr/share/doc/zelvo/examples/config.xml" || fail "the example configuration differs"
gzip -dc "$tmp/root/usr/share/doc/zelvo/README.md.gz" | cmp -s "$source_dir/README.md" - || fail "README differs"
gzip -dc "$tmp/root/usr/share/man/man1/zelvo.1.gz" >"$tmp/zelvo.1"
grep -q "^\.TH ZELVO 1 .*Zelvo $version" "$tmp/zelvo.1" ||
  fail "manual page without its version"
for program in usr/bin/zelvo usr/libexec/zelvo/zelvo-headless; do
  [[ "$(file "$tmp/root/$program")" == *", stripped"* ]] || fail "/$program is not stripped"
done
# The service's program links no GUI library.
objdump -p "$tmp/root/usr/libexec/zelvo/zelvo-headless" | grep -E 'NEEDED.*(Gui|Widgets|libGL|libX11|libxcb)' &&
  fail "zelvo-headless links a GUI library"

lintian --tag-display-limit 0 --display-info "$deb" >"$tmp/lintian" 2>&1 || true
cat "$tmp/lintian"
grep -q '^E: ' "$tmp/lintian" && fail "lintian reports errors"
exit $status
