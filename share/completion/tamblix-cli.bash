# bash completion for tamblix-cli: commands and options come from the program
# itself ("tamblix-cli __complete INDEX WORD..."), and so do option values,
# the folders and files of a catalog for a catalog path such as 'CD1\music\',
# and collection paths.

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
    local cur=${COMP_WORDS[COMP_CWORD]} words=() out=() i n=0 w glue=0 cword=0
    # The words as the program gets them. Bash splits "--sort=size:desc" at
    # "=" and ":" (COMP_WORDBREAKS): those pieces are joined back.
    for ((i = 0; i < ${#COMP_WORDS[@]}; i++)); do
        w=${COMP_WORDS[i]}
        if ((n > 1)) && [[ $w == "=" || $w == ":" ]]; then
            words[n - 1]+=$w
            glue=1
        elif ((glue)); then
            words[n - 1]+=$(_tamblix_cli_dequote "$w")
            glue=0
        else
            words[n]=$(_tamblix_cli_dequote "$w")
            ((n++))
        fi
        ((i == COMP_CWORD)) && cword=$((n - 1))
    done
    # What the shell replaces is the piece after the last "=" or ":" only.
    [[ $cur == "=" || $cur == ":" ]] && cur=
    local prefix=${words[cword]}
    local piece
    piece=$(_tamblix_cli_dequote "$cur")
    local head=${prefix:0:${#prefix}-${#piece}}
    mapfile -t out < <("${words[0]}" __complete "$cword" "${words[@]:0:n}" 2>/dev/null)
    COMPREPLY=()
    case ${out[0]} in
    words)
        for w in "${out[@]:1}"; do
            [[ ${w:0:${#head}} == "$head" ]] || continue
            COMPREPLY+=("$(_tamblix_cli_quote "$cur" "${w:${#head}}")")
        done
        # A catalog folder goes on with its contents, not with a new word.
        if [[ ${#out[@]} -gt 1 && ${out[1]} == *\\ ]]; then
            compopt -o nospace 2>/dev/null
        fi
        ;;
    files)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$piece")
        ;;
    folders)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$piece")
        ;;
    catalogs)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -X '!*.[tT][xX][cC]' -- "$piece"
                                 compgen -d -- "$piece")
        ;;
    esac
    return 0
}

complete -F _tamblix_cli tamblix-cli
