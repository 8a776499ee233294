# Types each command line into an interactive zsh that loads the completions of a folder,
# presses Tab, and prints the line as completion left it, a tab, and the line's last word as
# the shell will read it.
# Usage: zsh -f complete.zsh COMPLETION_FOLDER LINE...
zmodload zsh/zpty || exit 1
folder=$1
shift

zpty shell zsh -f -i
zpty -w shell "PS1='' RPS1=''; fpath=(${(q)folder} \$fpath); autoload -Uz compinit; compinit -u -D"
# Ctrl-X prints the line between markers (spelled apart here, so that the echo of this very
# definition is not taken for an answer) and clears it.
zpty -w shell 'show-line() { zle -I; print -r -- "<""<$BUFFER>"">"; BUFFER=; }; zle -N show-line; bindkey "^X" show-line'

for line in "$@"; do
  zpty -w -n shell "$line"$'\t\x18'
  zpty -r shell answer '*<<*>>*' || exit 1
  answer=${${answer##*<<}%%>>*}
  print -r -- "$answer"$'\t'"${(Q)${(z)answer}[-1]}"
done
zpty -d shell
