# bash completion for tamblix-cli: commands and options come from the program
# itself ("tamblix-cli __complete INDEX WORD..."), and so do the folders of a
# catalog for a catalog path such as 'CD1\music\'.

# A word as the shell will pass it: quotes removed, backslash escapes undone.
_tamblix_cli_dequote() {
    local w=$1 out= i c
    case $w in
    \'*)
        w=${w#\'}
        out=${w%\'}
        ;;
    \"*)
        w=${w#\"}
        w=${w%\"}
        for ((i = 0; i < ${#w}; i++)); do
            c=${w:i:1}
            if [[ $c == \\ && ${w:i+1:1} == [\\\$\`\"] ]]; then
                ((i++))
                c=${w:i:1}
            fi
            out+=$c
        done
        ;;
    *)
        for ((i = 0; i < ${#w}; i++)); do
            c=${w:i:1}
            if [[ $c == \\ ]]; then
                ((i++))
                c=${w:i:1}
            fi
            out+=$c
        done
        ;;
    esac
    printf '%s' "$out"
}

# A candidate written for the quoting the word was begun with.
_tamblix_cli_quote() {
    local cur=$1 word=$2
    case $cur in
    \'*) printf '%s' "$word" ;;
    \"*)
        word=${word//\\/\\\\}
        word=${word//\"/\\\"}
        word=${word//\$/\\\$}
        word=${word//\`/\\\`}
        printf '%s' "$word"
        ;;
    *) printf '%q' "$word" ;;
    esac
}

_tamblix_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} words=() out=() i w
    for ((i = 0; i < ${#COMP_WORDS[@]}; i++)); do
        words+=("$(_tamblix_cli_dequote "${COMP_WORDS[i]}")")
    done
    mapfile -t out < <("${words[0]}" __complete "$COMP_CWORD" "${words[@]}" 2>/dev/null)
    local prefix=${words[COMP_CWORD]}
    COMPREPLY=()
    case ${out[0]} in
    words)
        for w in "${out[@]:1}"; do
            COMPREPLY+=("$(_tamblix_cli_quote "$cur" "$w")")
        done
        # A catalog folder goes on with its contents, not with a new word.
        if [[ ${#out[@]} -gt 1 && ${out[1]} == *\\ ]]; then
            compopt -o nospace 2>/dev/null
        fi
        ;;
    files)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$prefix")
        ;;
    folders)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$prefix")
        ;;
    catalogs)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -X '!*.[tT][xX][cC]' -- "$prefix"
                                 compgen -d -- "$prefix")
        ;;
    esac
    return 0
}

complete -F _tamblix_cli tamblix-cli
