#!/usr/bin/env bash
# Holds the manual page to what the program says of itself: every option `pelamo --help`
# names is in the page and every option the page names is one --help names, and the same
# for the exit statuses; the page has the sections a reader looks for, and man formats it
# without a warning.
# Usage: check-manual.sh PAGE PROGRAM
set -euo pipefail
export LC_ALL=C # one order for sort and comm

page=$1 program=$2

source "$(dirname "$0")/private-home.sh"
export MANWIDTH=80 MANPAGER=cat PAGER=cat

help=$("$program" --help) || fail "pelamo --help exited with $?"
# Without hyphenation and in ASCII, so that every option stays one word.
text=$(man --warnings --nh --nj -E ascii -l "$page" 2>"$home/warnings") ||
    fail "man can't format $page"
[ -s "$home/warnings" ] && fail "man warns about $page: $(cat "$home/warnings")"

for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES ENVIRONMENT EXAMPLES "SEE ALSO"; do
    grep -qx "$section" <<<"$text" || fail "the page has no $section section"
done

# Every --word, once.
options() { grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
# The statuses a section lists: the numbers that open its lines ("129, 130, 143" is three).
statuses() { grep -oE '^ +[0-9]+(, [0-9]+)*' | tr -s ', ' '\n\n' | grep . | sort -u; }
# One part of a text: from the line that is its heading to the next line that starts a part.
part() { awk -v heading="$1" '$0 == heading { on = 1; next } on && /^[A-Z]/ { exit } on'; }

compare() { # WHAT HELP_ITEMS PAGE_ITEMS
    local missing extra
    missing=$(comm -23 <(echo "$2") <(echo "$3"))
    extra=$(comm -13 <(echo "$2") <(echo "$3"))
    [ -z "$missing" ] || fail "$1 that --help names and the manual page does not: $(tr '\n' ' ' <<<"$missing")"
    [ -z "$extra" ] || fail "$1 that the manual page names and --help does not: $(tr '\n' ' ' <<<"$extra")"
    [ -n "$2" ] || fail "--help names no $1"
}

help_options=$(options <<<"$help")
compare options "$help_options" "$(options <<<"$text")"
# The options the page describes one by one, each under a line of its own, are all of them too.
compare "described options" "$help_options" \
    "$(part OPTIONS <<<"$text" | grep -E '^ {7}--[a-z0-9-]+( [^ ]+)?$' | options)"
compare "exit statuses" "$(part 'Exit status:' <<<"$help" | statuses)" \
    "$(part 'EXIT STATUS' <<<"$text" | statuses)"

finish "manual page" "Manual page checks passed: $(wc -l <<<"$help_options") options"
