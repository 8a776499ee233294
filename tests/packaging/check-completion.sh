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

library="$home/My Library" damaged="$home/Damaged" odd="$home/Odd" files="$home/files"
mkdir -p "$library" "$XDG_DATA_HOME/Pelamo" "$damaged" "$odd" "$files/Season 1"
# A library in a folder whose name has a space, with names that need quoting; and a default
# library with other shows, which must not be offered when --library names the first.
cat >"$library/shows.json" <<'EOF'
[{"name": "Weekly"}, {"name": "Morning Show"}, {"name": "Jo's \"Mix\" $HOME"}, {"name": "Talk: Tech"}]
EOF
names=(Weekly "Morning Show" "Jo's \"Mix\" \$HOME" "Talk: Tech")
echo '[{"name": "Default One"}, {"name": "Default Two"}]' >"$XDG_DATA_HOME/Pelamo/shows.json"
default_names=("Default One" "Default Two")
# A library whose shows.json is damaged, which completion must leave byte for byte as it is,
# and one with a name that holds a tab, offered whole where the shell allows it.
printf '[{"name": "Half' >"$damaged/shows.json"
snapshot() { (cd "$1" && find . -printf '%p %s %T@\n' | sort && cat shows.json); }
damaged_before=$(snapshot "$damaged")
printf '[{"name": "Tab\\there"}]' >"$odd/shows.json"
tabbed=$(printf 'Tab\there')
# Files to tag: MP3 files whatever the case of their extension, a folder, and text files
# that begin as they do.
touch "$files/Episode 1.mp3" "$files/LOUD.MP3" "$files/Episode notes.txt" "$files/LOUD.txt"

sorted() { printf '%s\n' "$@" | sort; }
expect() { # WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] || fail "$1:
  expected: $(tr '\n' '|' <<<"$2")
  offered:  $(tr '\n' '|' <<<"$3")"
}
pelamo=$(printf '%q' "$program")
on_line=$(printf '%q' "$library")

# ---------------------------------------------------------------- bash

# Completes the last of the words after pelamo with the function `complete -p pelamo` names,
# and prints the replies one a line. The words are as typed, quoting and all.
bash_complete() {
    bash --norc --noprofile -s -- "$pelamo" "$@" <<EOF
set -u
source /usr/share/bash-completion/bash_completion
source "$folder/pelamo.bash"
[[ \$(complete -p pelamo) =~ -F\ ([^ ]+) ]] || { echo "pelamo has no completion function" >&2; exit 1; }
COMP_WORDS=("\$@") COMP_CWORD=\$((\$# - 1)) COMPREPLY=()
COMP_LINE="\${COMP_WORDS[*]}" COMP_POINT=\${#COMP_LINE}
"\${BASH_REMATCH[1]}" pelamo "\${COMP_WORDS[COMP_CWORD]}" "\${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "\${COMPREPLY[@]}"
EOF
}
# HOW the replies are compared: "=" as they are, "sort" sorted, or "read" and the quote that
# opens the last word: what bash reads back from each reply once it stands in place of that
# word, the quote and all (readline closes it).
bash_expect() { # WHAT EXPECTED HOW WORDS...
    local what=$1 want=$2 quote=${3#read} how=$3 replies reply parsed=()
    shift 3
    replies=$(bash_complete "$@")
    case $how in
        sort) replies=$(sort <<<"$replies") ;;
        read*) replies=$(while IFS= read -r reply; do
            [ -n "$reply" ] || continue
            # A reply that doesn't parse ends the shell it is read in: try it in one of its own.
            (eval "parsed=($quote$reply$quote)") 2>/dev/null || { echo "<reply $reply does not parse>"; continue; }
            eval "parsed=($quote$reply$quote)"
            [ "${#parsed[@]}" -eq 1 ] || { echo "<reply $reply is ${#parsed[@]} words>"; continue; }
            printf '%s\n' "${parsed[0]}"
        done <<<"$replies" | sort) ;;
    esac
    expect "bash: $what" "$want" "$replies"
}

bash_expect "the shows after --show" "$(sorted "${names[@]}")" read --library "$on_line" --show ''
bash_expect "the shows after --show Mo" "Morning\\ Show" = --library "$on_line" --show Mo
bash_expect "the shows after --show 'Mo" "Morning Show" "read'" --library "$on_line" --show "'Mo"
bash_expect "the shows after --show \"Jo" "${names[2]}" 'read"' --library "$on_line" --show '"Jo'
bash_expect "the shows of a quoted --library" "$(sorted "${names[@]}")" read \
    --library "\"$library\"" --tag "$files/Episode 1.mp3" --show ''
bash_expect "the default library's shows" "$(sorted "${default_names[@]}")" read --show ''
bash_expect "no shows where there is no library" "" = --library "$home/nowhere" --show ''
[ -e "$home/nowhere" ] && fail "bash: completing the shows of a missing library made $home/nowhere"
bash_expect "no shows of a damaged library" "" = --library "$(printf '%q' "$damaged")" --show ''
bash_expect "a name with a tab, whole" "$tabbed" read --library "$(printf '%q' "$odd")" --show ''
bash_expect "the options after --li" "$(sorted --library --list)" sort --li
bash_expect "files to tag" "$(sorted "$files/Episode 1.mp3" "$files/LOUD.MP3" "$files/Season 1")" sort \
    --tag --show Weekly "$(printf '%q' "$files")/"
bash_expect "folders after --library" "$files/Season 1" = --library "$(printf '%q' "$files")/"

# ---------------------------------------------------------------- fish

# What fish offers, without the descriptions, for pelamo and the words, the last one being typed.
fish_expect() { # WHAT EXPECTED WORDS...
    expect "fish: $1" "$2" "$(fish --no-config -c 'source $argv[1]; complete -C "$argv[2..-1]"' \
        "$folder/pelamo.fish" "$pelamo" "${@:3}" | cut -f1 | sort)"
}

fish_expect "the shows after --show" "$(sorted "${names[@]}")" --library "$on_line" --show ''
fish_expect "the shows after --show Mo" "Morning Show" --library "$on_line" --show Mo
fish_expect "the default library's shows" "$(sorted "${default_names[@]}")" --show ''
fish_expect "no shows where there is no library" "" --library "$home/nowhere" --show ''
[ -e "$home/nowhere" ] && fail "fish: completing the shows of a missing library made $home/nowhere"
# Fish takes one candidate a line and a tab as the start of its description: no such name.
fish_expect "a name with a tab is not offered" "" --library "$(printf '%q' "$odd")" --show ''
fish_expect "the options after --li" "$(sorted --library --list)" --li
fish_expect "files to tag" "$(sorted "$files/Episode 1.mp3" "$files/LOUD.MP3" "$files/Season 1/")" \
    --tag --show Weekly "$(printf '%q' "$files")/"

# ---------------------------------------------------------------- zsh

# zsh's completion runs only inside its line editor: complete.zsh types each line into
# one and prints what Tab made of it, and the last word as zsh reads it back, which must
# be the word that follows the line here.
zsh_cases=(
    "$pelamo --library $on_line --show We" Weekly
    "$pelamo --library $on_line --show Mo" "Morning Show"
    "$pelamo --library $on_line --show Jo" "${names[2]}"
    "$pelamo --library \"$library\" --tag --show Ta" "Talk: Tech"
    "$pelamo --library $on_line --show 'Mo" "Morning Show"
    "$pelamo --show Default\\ T" "Default Two"
    "$pelamo --library $(printf '%q' "$home/nowhere") --show " --show
    "$pelamo --lis" --list
    "$pelamo --sam" --sample-dir
    "$pelamo --tag --show Weekly $(printf '%q' "$files")/LO" "$files/LOUD.MP3"
    "$pelamo --tag --show Weekly $(printf '%q' "$files")/Ep" "$files/Episode 1.mp3"
    "$pelamo --library $(printf '%q' "$files")/" "$files/Season 1/"
    "$pelamo --library $(printf '%q' "$odd") --show Ta" "$tabbed"
)
zsh_lines=()
for ((i = 0; i < ${#zsh_cases[@]}; i += 2)); do zsh_lines+=("${zsh_cases[i]}"); done
answers=$(timeout 60 zsh -f "$(dirname "$0")/complete.zsh" "$folder" "${zsh_lines[@]}") ||
    fail "zsh: complete.zsh ended with $?"
for i in "${!zsh_lines[@]}"; do
    answer=$(sed -n "$((i + 1))p" <<<"$answers")
    expect "zsh: the last word after Tab on '${zsh_lines[i]}'" "${zsh_cases[2 * i + 1]}" "${answer#*$'\t'}"
done
[ -e "$home/nowhere" ] && fail "zsh: completing the shows of a missing library made $home/nowhere"
[ "$(snapshot "$damaged")" = "$damaged_before" ] || fail "completing the shows of a damaged library changed it"

finish completion "Completion checks passed"
