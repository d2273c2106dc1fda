#!/bin/bash
# Builds this build's Debian package and checks it: control fields, exactly the
# files that belong on the hub with their modes, the init scripts as conffiles,
# stripped programs of the package's architecture, no lintian error, and the
# unpacked qorutil answering --fwver with 7 from the simulated controller in
# the hub sandbox.
# Usage: package_test.sh BUILD_DIR DEB_ARCH TOOLS_BIN [EMULATOR]
set -u
build_dir=$(readlink -f "$1")
arch=$2
tools_bin=$3
emulator=${4:-}
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
finish() {
    if [ "$failures" -gt 0 ]; then
        echo "$failures failed" >&2
        exit 1
    fi
    echo "package $arch: all checks passed"
    exit 0
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if ! cpack --config "$build_dir/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack failed"
    finish
fi
debs=("$scratch"/out/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made ${#debs[@]} packages: ${debs[*]}"
    finish
fi
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# --- control fields -------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)
[ "$(basename "$deb")" = "qor-maintenance_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"
[ "$(field Package)" = qor-maintenance ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture), not $arch"
[ "$(field Section)" = admin ] || fail "Section: $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority: $(field Priority)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[ "$(field Description | wc -l)" -ge 3 ] || fail "Description has no long text"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6; do
    [[ ", $depends" == *", $lib (>= "[0-9]* ]] || fail "Depends has no versioned $lib: $depends"
done
[[ $depends == *cross* ]] && fail "Depends names the cross toolchain's libraries: $depends"

# --- contents -----------------------------------------------------------------------
expected=$(LC_ALL=C sort <<<"-rwxr-xr-x root/root ./etc/init.d/qor-startup
-rwxr-xr-x root/root ./etc/init.d/qor-watchdog
-rwxr-xr-x root/root ./usr/sbin/qor-watchdog
-rwxr-xr-x root/root ./usr/sbin/qorutil
-rw-r--r-- root/root ./usr/share/doc/qor-maintenance/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/qor-maintenance/copyright
-rw-r--r-- root/root ./usr/share/man/man8/qor-startup.8.gz
-rw-r--r-- root/root ./usr/share/man/man8/qor-watchdog.8.gz
-rw-r--r-- root/root ./usr/share/man/man8/qorutil.8.gz
$([ -x "$build_dir/bin/qor-startup" ] && echo "-rwxr-xr-x root/root ./usr/sbin/qor-startup")" | sed '/^$/d')
contents=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ { print $1, $2, $6 }' <<<"$contents" | LC_ALL=C sort)
[ "$files" = "$expected" ] || fail "package contents differ:
$(diff <(echo "$expected") <(echo "$files"))"
bad_dirs=$(awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") { print }' <<<"$contents")
[ -z "$bad_dirs" ] || fail "folders with other modes or owners: $bad_dirs"
conffiles=$(dpkg-deb -I "$deb" conffiles 2>/dev/null)
[ "$conffiles" = "/etc/init.d/qor-startup
/etc/init.d/qor-watchdog" ] || fail "conffiles: $conffiles"

# --- unpacked ----------------------------------------------------------------------
root=$scratch/root
dpkg-deb -x "$deb" "$root"
case $arch in
    amd64) machine="Advanced Micro Devices X86-64" ;;
    armel | armhf) machine=ARM ;;
    *) machine="" ;;
esac
for program in qorutil qor-watchdog qor-startup; do
    elf=$root/usr/sbin/$program
    [ -f "$elf" ] || continue
    [ -z "$machine" ] || readelf -h "$elf" | grep -q "Machine: *$machine\$" || fail "$program is not built for $machine"
    readelf -S "$elf" | grep -qE '\.symtab|\.debug_' && fail "$program is not stripped"
done
changelog_version=$(zcat "$root/usr/share/doc/qor-maintenance/changelog.gz" | sed -n '1s/^qor-maintenance (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$version" ] || fail "changelog's version '$changelog_version' is not the package's $version"
for page in qorutil qor-watchdog qor-startup; do
    [ "$(zcat "$root/usr/share/man/man8/$page.8.gz" | head -c 3)" = ".TH" ] || fail "$page.8.gz is no manual page"
done
for script in qor-startup qor-watchdog; do
    sh -n "$root/etc/init.d/$script" || fail "$script does not pass sh -n"
done

# --- lintian ----------------------------------------------------------------------
if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1
    status=$?
    grep -v 'running with root privileges' "$scratch/lintian.log" | sed 's/^/lintian: /'
    [ "$status" -eq 0 ] || fail "lintian reports errors (exit $status)"
elif [ "${CI:-}" = true ]; then
    fail "lintian is missing (scripts/deps installs it)"
else
    echo "lintian is missing (scripts/deps installs it): not checked" >&2
fi

# --- the unpacked qorutil on the simulated hub ---------------------------------------
# shellcheck disable=SC2086 # the emulator is a command line
"$tools_bin/qor-sandbox" -- $emulator "$root/usr/sbin/qorutil" --fwver >"$scratch/fwver.out" 2>"$scratch/fwver.err"
status=$?
if [ "$status" -eq 77 ] && [ "$failures" -eq 0 ]; then
    cat "$scratch/fwver.err" >&2
    exit 77
fi
[ "$status" -eq 0 ] || fail "unpacked qorutil --fwver: exit $status ($(cat "$scratch/fwver.err"))"
[ "$(cat "$scratch/fwver.out")" = 7 ] || fail "unpacked qorutil --fwver printed '$(cat "$scratch/fwver.out")', not 7"

finish
