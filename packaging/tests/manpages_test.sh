#!/bin/bash
# The manual pages: groff and man render them without a warning, each has the
# sections that a page of these programs needs and a NAME line that whatis
# can read, qorutil's page documents exactly the options of qorutil's own
# usage text, and the pages of qorutil and qor-watchdog list in FILES every
# hub path that the program uses.
# Usage: manpages_test.sh MAN_DIR PROGRAM_DIR SOURCE_DIR BUILD_DIR
set -u
man_dir=$1
program_dir=$2
# The build's own folders (in the debugging information) are no hub paths,
# wherever the tree lies.
source_dir=$3
build_dir=$4
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in groff man; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps installs it)" >&2; exit 1; }
done

# The lines of section NAME of a page (up to the next .SH).
section() {
    awk -v want="$2" '
        /^\.SH / { name = substr($0, 5); gsub(/"/, "", name); inside = (name == want); next }
        inside { print }' "$1"
}

for page in qorutil qor-watchdog qor-startup; do
    file=$man_dir/$page.8
    if [ ! -f "$file" ]; then
        fail "$file is missing"
        continue
    fi
    warnings=$(groff -ww -man -Tutf8 "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page.8: groff warns: $warnings"
    warnings=$(MANWIDTH=80 man --warnings -l -Tutf8 "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page.8: man warns: $warnings"

    grep -q "^\.TH $(echo "$page" | tr '[:lower:]' '[:upper:]' | sed 's/-/\\\\-/g') 8 " "$file" || fail "$page.8: no .TH line for $page in section 8"
    sections=(NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES)
    [ "$page" = qor-watchdog ] && sections+=(SIGNALS)
    for s in "${sections[@]}"; do
        grep -qE "^\.SH \"?$s\"?\$" "$file" || fail "$page.8: section $s is missing"
    done
    name_line=$(section "$file" NAME | head -n 1)
    case $name_line in
        "$page \\- "?*) ;;
        *) fail "$page.8: NAME line is not \"$page \\- description\": $name_line" ;;
    esac
done

# qorutil's options: those of its usage text (printed for an unknown option,
# exit status 2) and those that the page documents in OPTIONS must be the same.
usage=$("$program_dir/qorutil" --no-such-option 2>&1 >/dev/null)
status=$?
[ "$status" -eq 2 ] || fail "qorutil --no-such-option: exit status $status, not 2"
from_usage=$(grep -oE -- ' (-p|--[a-z-]+)( |$)' <<<"$usage" | tr -d ' ' | sort -u)
[ -n "$from_usage" ] || fail "no options found in qorutil's usage text"
from_page=$(section "$man_dir/qorutil.8" OPTIONS | awk 'after_tp { print $2; after_tp = 0 } /^\.TP/ { after_tp = 1 }' |
             sed 's/\\-/-/g' | sort -u)
if [ "$from_usage" != "$from_page" ]; then
    fail "qorutil.8 OPTIONS do not match the usage text:
  usage: $(tr '\n' ' ' <<<"$from_usage")
  page:  $(tr '\n' ' ' <<<"$from_page")"
fi

# Hub paths that the programs use must stand in their page's FILES section.
for program in qorutil qor-watchdog; do
    files=$(section "$man_dir/$program.8" FILES | sed 's/\\-/-/g')
    paths=$(strings "$program_dir/$program" | grep -oE '^/(dev|etc|mnt|var|tmp)/[^ ]+' |
        grep -vF -e "$source_dir" -e "$build_dir" | sort -u)
    [ -n "$paths" ] || fail "$program: no hub paths found in the program"
    for path in $paths; do
        grep -qF -- "$path" <<<"$files" || fail "$program.8: FILES does not list $path"
    done
done

if [ "$failures" -gt 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "manual pages: all checks passed"
