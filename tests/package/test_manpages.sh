#!/usr/bin/env bash
# Every option and command that a program's --help names is described in its manual page, and
# every page has the sections a technician looks for.
set -euo pipefail
build=$1
source=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The page as plain text: "\-" is a hyphen in troff.
page_text() { sed -e 's/\\-/-/g' -e 's/\\c$//' "$source/packaging/man/$1.1.in"; }

check_page() {
  local page=$1 help=$2
  local text
  text=$(page_text "$page")
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "PORT MAP" "SETTINGS FILE" "EXIT STATUS" ENVIRONMENT FILES; do
    grep -q "^\.SH \"\?$section\"\?$" <<<"$text" || fail "$page(1) has no section $section"
  done
  for variable in TAMBERLIN_LOG XDG_CONFIG_HOME; do
    grep -q "$variable" <<<"$text" || fail "$page(1) does not name $variable"
  done
  # Long options (--name) and the window program's switches (/L, /P, /F) from the help text.
  local options
  options=$(grep -oE -- '(^|[ [])(--[a-z][a-z-]*|/[LPF])' <<<"$help" | sed -E 's/^[[ ]//' | sort -u)
  [ -n "$options" ] || fail "no options found in the help of $page"
  for option in $options; do
    grep -qF -- "$option" <<<"$text" || fail "$page(1) does not describe $option"
  done
  echo "$page(1): $(wc -w <<<"$options") options checked"
}

check_page tamberlin "$("$build/tamberlin" --help)"
cli_help=$("$build/tamberlin-cli" --help)
for command in write find ports doctor trace; do
  cli_help+=$'\n'$("$build/tamberlin-cli" "$command" --help)
  grep -q "^\.B $command$\|^\.B tamberlin\\\\-cli $command" "$source/packaging/man/tamberlin-cli.1.in" ||
    fail "tamberlin-cli(1) does not describe the command $command"
done
check_page tamberlin-cli "$cli_help"
check_page korvane-sim "$("$build/korvane-sim" --help)"

# The installed form: gzipped, and readable by man's formatter when there is one.
for page in tamberlin tamberlin-cli korvane-sim; do
  gzip -t "$build/man/$page.1.gz" || fail "$build/man/$page.1.gz is not a gzip file"
  if command -v groff >/dev/null; then
    warnings=$(zcat "$build/man/$page.1.gz" | groff -man -ww -z 2>&1) || fail "groff rejects $page(1)"
    [ -z "$warnings" ] || fail "groff warns on $page(1): $warnings"
  fi
done

if [ "$failures" -gt 0 ]; then
  echo "$failures failed" >&2
  exit 1
fi
echo "manual pages: all checks passed"
