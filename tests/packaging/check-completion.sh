#!/usr/bin/env bash
# Runs the shell completions as the shells do and checks what they offer: after --show, the
# show names of the library on the line (or of the default library), quoted so that the
# shell reads each back as the name; options; MP3 files and folders to tag; folders after
# --library. Bash through bash-completion, the way it loads the file; fish through its
# own `complete -C`; zsh in its line editor, through complete.zsh.
# Usage: check-completion.sh COMPLETION_FOLDER PROGRAM
set -euo pipefail
export LC_ALL=C.UTF-8

folder=$1 program=$2

source "$(dirname "$0")/private-home.sh"

# A library in a folder whose name has a space, with names that need quoting; and a default
# library with other shows, which must not be offered when --library names the first.
library="$home/My Library"
mkdir -p "$library" "$XDG_DATA_HOME/Pelamo"
cat >"$library/shows.json" <<'EOF'
[{"name": "Weekly"}, {"name": "Morning Show"}, {"name": "Jo's \"Mix\" $HOME"}, {"name": "Talk: Tech"}]
EOF
names=(Weekly "Morning Show" "Jo's \"Mix\" \$HOME" "Talk: Tech")
echo '[{"name": "Default One"}, {"name": "Default Two"}]' >"$XDG_DATA_HOME/Pelamo/shows.json"
default_names=("Default One" "Default Two")
# A library whose shows.json is damaged, which completion must leave byte for byte as it is,
# and one with a name that holds a tab, offered whole where the shell allows it.
damaged="$home/Damaged"
mkdir -p "$damaged"
printf '[{"name": "Half' >"$damaged/shows.json"
snapshot() { (cd "$1" && find . -printf '%p %s %T@\n' | sort && cat shows.json); }
damaged_before=$(snapshot "$damaged")
odd="$home/Odd"
mkdir -p "$odd"
printf '[{"name": "Tab\\there"}]' >"$odd/shows.json"
tabbed=$(printf 'Tab\there')
# Files to tag: MP3 files whatever the case of their extension, a folder, and text files
# that begin as they do.
files="$home/files"
mkdir -p "$files/Season 1"
touch "$files/Episode 1.mp3" "$files/LOUD.MP3" "$files/Episode notes.txt" "$files/LOUD.txt"

sorted() { printf '%s\n' "$@" | sort; }
expect() { # WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] || fail "$1:
  expected: $(tr '\n' '|' <<<"$2")
  offered:  $(tr '\n' '|' <<<"$3")"
}

# ---------------------------------------------------------------- bash

# Completes the last word of the arguments with the function `complete -p pelamo` names,
# and prints the replies one a line. The words are as typed, quoting and all.
bash_complete() {
    bash --norc --noprofile -s -- "$@" <<EOF
set -u
source /usr/share/bash-completion/bash_completion
source "$folder/pelamo.bash"
spec=\$(complete -p pelamo) || { echo "no completion is registered for pelamo" >&2; exit 1; }
[[ \$spec =~ -F\ ([^ ]+) ]] || { echo "the completion names no function: \$spec" >&2; exit 1; }
COMP_WORDS=("\$@")
COMP_CWORD=\$((\$# - 1))
COMP_LINE="\${COMP_WORDS[*]}"
COMP_POINT=\${#COMP_LINE}
COMPREPLY=()
"\${BASH_REMATCH[1]}" pelamo "\${COMP_WORDS[COMP_CWORD]}" "\${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "\${COMPREPLY[@]}"
EOF
}
# What bash reads back from each reply, once it stands in place of the typed word that
# began with QUOTE (nothing, or the quote that opened it, which readline then closes).
bash_read_back() { # QUOTE REPLIES
    local reply parsed=()
    while IFS= read -r reply; do
        [ -n "$reply" ] || continue
        eval "parsed=($1$reply$1)" 2>/dev/null || { echo "<reply $reply does not parse>"; continue; }
        [ "${#parsed[@]}" -eq 1 ] || { echo "<reply $reply is ${#parsed[@]} words>"; continue; }
        printf '%s\n' "${parsed[0]}"
    done <<<"$2" | sort
}

pelamo=$(printf '%q' "$program")
on_line=$(printf '%q' "$library")

replies=$(bash_complete "$pelamo" --library "$on_line" --show '')
expect "bash: the shows after --show" "$(sorted "${names[@]}")" "$(bash_read_back '' "$replies")"
replies=$(bash_complete "$pelamo" --library "$on_line" --show 'Mo')
expect "bash: the shows after --show Mo" "Morning\\ Show" "$replies"
replies=$(bash_complete "$pelamo" --library "$on_line" --show "'Mo")
expect "bash: the shows after --show 'Mo" "Morning Show" "$(bash_read_back "'" "$replies")"
replies=$(bash_complete "$pelamo" --library "$on_line" --show '"Jo')
expect "bash: the shows after --show \"Jo" "${names[2]}" "$(bash_read_back '"' "$replies")"
replies=$(bash_complete "$pelamo" --library "\"$library\"" --tag "$files/Episode 1.mp3" --show '')
expect "bash: the shows of a quoted --library" "$(sorted "${names[@]}")" "$(bash_read_back '' "$replies")"
replies=$(bash_complete "$pelamo" --show '')
expect "bash: the default library's shows" "$(sorted "${default_names[@]}")" "$(bash_read_back '' "$replies")"
replies=$(bash_complete "$pelamo" --library "$home/nowhere" --show '')
expect "bash: no shows where there is no library" "" "$replies"
[ -e "$home/nowhere" ] && fail "bash: completing the shows of a missing library made $home/nowhere"
replies=$(bash_complete "$pelamo" --library "$(printf '%q' "$damaged")" --show '')
expect "bash: no shows of a damaged library" "" "$replies"
replies=$(bash_complete "$pelamo" --library "$(printf '%q' "$odd")" --show '')
expect "bash: a name with a tab, whole" "$tabbed" "$(bash_read_back '' "$replies")"

replies=$(bash_complete "$pelamo" --li)
expect "bash: the options after --li" "$(sorted --library --list)" "$(sort <<<"$replies")"
replies=$(bash_complete "$pelamo" --tag --show Weekly "$(printf '%q' "$files")/")
expect "bash: files to tag" "$(sorted "$files/Episode 1.mp3" "$files/LOUD.MP3" "$files/Season 1")" \
    "$(sorted "$replies")"
replies=$(bash_complete "$pelamo" --library "$(printf '%q' "$files")/")
expect "bash: folders after --library" "$files/Season 1" "$replies"

# ---------------------------------------------------------------- fish

# What fish offers for a command line, without the descriptions.
fish_complete() {
    fish --no-config -c 'source $argv[1]; complete -C $argv[2]' "$folder/pelamo.fish" "$1" | cut -f1 | sort
}
fish_words() { printf '%s ' "$(printf '%q' "$program")" "$@"; }

expect "fish: the shows after --show" "$(sorted "${names[@]}")" \
    "$(fish_complete "$(fish_words --library "$on_line" --show)")"
expect "fish: the shows after --show Mo" "Morning Show" \
    "$(fish_complete "$(fish_words --library "$on_line" --show)Mo")"
expect "fish: the default library's shows" "$(sorted "${default_names[@]}")" \
    "$(fish_complete "$(fish_words --show)")"
expect "fish: no shows where there is no library" "" \
    "$(fish_complete "$(fish_words --library "$home/nowhere" --show)")"
[ -e "$home/nowhere" ] && fail "fish: completing the shows of a missing library made $home/nowhere"
# Fish takes one candidate a line and a tab as the start of its description: no such name.
expect "fish: a name with a tab is not offered" "" \
    "$(fish_complete "$(fish_words --library "$(printf '%q' "$odd")" --show)")"
expect "fish: the options after --li" "$(sorted --library --list)" "$(fish_complete "$(fish_words)--li")"
expect "fish: files to tag" "$(sorted "$files/Episode 1.mp3" "$files/LOUD.MP3" "$files/Season 1/")" \
    "$(fish_complete "$(fish_words --tag --show Weekly)$(printf '%q' "$files")/")"

# ---------------------------------------------------------------- zsh

# zsh's completion runs only inside its line editor: complete.zsh types each line into
# one and prints what Tab made of it, and the last word as zsh reads it back.
zsh_lines=(
    "$pelamo --library $on_line --show We"
    "$pelamo --library $on_line --show Mo"
    "$pelamo --library $on_line --show Jo"
    "$pelamo --library \"$library\" --tag --show Ta"
    "$pelamo --library $on_line --show 'Mo"
    "$pelamo --show Default\\ T"
    "$pelamo --library $(printf '%q' "$home/nowhere") --show "
    "$pelamo --lis"
    "$pelamo --sam"
    "$pelamo --tag --show Weekly $(printf '%q' "$files")/LO"
    "$pelamo --tag --show Weekly $(printf '%q' "$files")/Ep"
    "$pelamo --library $(printf '%q' "$files")/"
    "$pelamo --library $(printf '%q' "$odd") --show Ta"
)
zsh_words=(Weekly "Morning Show" "${names[2]}" "Talk: Tech" "Morning Show" "Default Two" --show --list
    --sample-dir "$files/LOUD.MP3" "$files/Episode 1.mp3" "$files/Season 1/" "$tabbed")
answers=$(timeout 60 zsh -f "$(dirname "$0")/complete.zsh" "$folder" "${zsh_lines[@]}") ||
    fail "zsh: complete.zsh ended with $?"
for i in "${!zsh_lines[@]}"; do
    answer=$(sed -n "$((i + 1))p" <<<"$answers")
    expect "zsh: the last word after Tab on '${zsh_lines[i]}'" "${zsh_words[i]}" "${answer#*$'\t'}"
done
[ -e "$home/nowhere" ] && fail "zsh: completing the shows of a missing library made $home/nowhere"
[ "$(snapshot "$damaged")" = "$damaged_before" ] || fail "completing the shows of a damaged library changed it"

finish completion "Completion checks passed"
