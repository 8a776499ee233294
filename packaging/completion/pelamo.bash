# bash completion for pelamo(1)                                  -*- shell-script -*-
# Installed as share/bash-completion/completions/pelamo, where bash-completion
# loads it the first time pelamo's arguments are completed.

# A word as the shell would pass it on, for the quoting people type: backslashes,
# single and double quotes, and a leading ~/. Nothing is expanded or run.
_pelamo_unquote()
{
    local word=$1 text="" quote="" char i
    for ((i = 0; i < ${#word}; i++)); do
        char=${word:i:1}
        if [[ $quote == "'" ]]; then
            [[ $char == "'" ]] && quote="" || text+=$char
        elif [[ $char == '\' ]]; then
            ((i++))
            # Inside double quotes a backslash escapes only these.
            [[ $quote == '"' && ${word:i:1} != [\$\`\"\\] ]] && text+='\'
            text+=${word:i:1}
        elif [[ $char == '"' ]]; then
            [[ $quote ]] && quote="" || quote='"'
        elif [[ $char == "'" && -z $quote ]]; then
            quote="'"
        else
            text+=$char
        fi
    done
    [[ $word == "~" || $word == "~/"* ]] && text=$HOME${text:1}
    printf '%s' "$text"
}

# The names of the library's shows, each ended by a NUL byte, as `pelamo --list
# --null` prints them: it only reads the library, and a name with a tab or a
# line break in it is still one name.
_pelamo_shows()
{
    local program=$1 library=$2
    local arguments=(--list --null)
    [[ $library ]] && arguments+=(--library "$library")
    "$program" "${arguments[@]}" 2>/dev/null </dev/null
}

_pelamo()
{
    local cur prev words cword
    _init_completion -n : || return

    case $prev in
        --show)
            # The library named on the line, as the program would take it: the
            # argument after the first --library.
            local i library=""
            for ((i = 1; i < ${#words[@]} - 1; i++)); do
                if [[ ${words[i]} == --library ]]; then
                    ((i + 1 != cword)) && library=$(_pelamo_unquote "${words[i + 1]}")
                    break
                fi
            done
            local program typed name
            program=$(_pelamo_unquote "${words[0]}")
            typed=$(_pelamo_unquote "$cur")
            while IFS= read -r -d '' name; do
                [[ $name == "$typed"* ]] || continue
                # Readline puts a reply in place of what follows an opening
                # quote and closes the quote itself; elsewhere the reply is
                # quoted as a shell word.
                case $cur in
                    \'*) COMPREPLY+=("${name//\'/\'\\\'\'}") ;;
                    \"*)
                        name=${name//\\/\\\\}
                        name=${name//\"/\\\"}
                        name=${name//\$/\\\$}
                        COMPREPLY+=("${name//\`/\\\`}")
                        ;;
                    *) COMPREPLY+=("$(printf '%q' "$name")") ;;
                esac
            done < <(_pelamo_shows "$program" "$library")
            __ltrim_colon_completions "$cur"
            return
            ;;
        --library | --snapshot | --capture | --sample-dir)
            _filedir -d
            return
            ;;
        --appearance)
            COMPREPLY=($(compgen -W 'light dark' -- "$cur"))
            return
            ;;
        --size)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--list --tag --show --library --undo --dry-run --json --null
            --inspect --snapshot --capture --appearance --size --sample-dir --help --version' -- "$cur"))
        return
    fi

    # Files and folders to tag, or to open in the window.
    _filedir '[mM][pP]3'
} &&
    complete -F _pelamo pelamo

# ex: filetype=sh
