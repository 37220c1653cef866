# bash completion for vaultrane-box

# Box names that begin with what is typed. A name beginning with "-" would be
# read as an option, so it comes with the "--" that ends the options, unless
# the line has one already.
_vaultrane_box_names()
{
    local IFS=$'\n' name quoted
    local -a names=($(vaultrane-box list --names 2>/dev/null))
    for name in "${names[@]}"; do
        [[ $name == "$cur"* ]] || continue
        quoted=$(printf '%q' "$name")
        if [[ $name == -* && $options_ended == 0 ]]; then
            quoted="-- $quoted"
        fi
        COMPREPLY+=("$quoted")
    done
}

_vaultrane_box()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local cword=$COMP_CWORD
    local -a words=("${COMP_WORDS[@]}")

    local subcommands="list create delete rename encrypt decrypt passwd mount unmount share unshare shares help"
    local subcommand="" i operands=0 options_ended=0
    COMPREPLY=()
    for ((i = 1; i < cword; i++)); do
        if ((options_ended)) && [[ -n $subcommand ]]; then
            ((operands++))
            continue
        fi
        case "${words[i]}" in
            --) options_ended=1 ;;
            --password-fd) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $subcommand ]]; then
                    subcommand=${words[i]}
                else
                    ((operands++))
                fi
                ;;
        esac
    done

    if [[ $prev == --password-fd ]]; then
        return
    fi

    if [[ -z $subcommand ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--help --version -h -v" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
        fi
        return
    fi

    local options="--help"
    case $subcommand in
        list) options+=" --json --names" ;;
        create) options+=" --encrypt --password-fd" ;;
        delete) options+=" --yes --password-fd" ;;
        rename | encrypt | decrypt | passwd | mount | unshare) options+=" --password-fd" ;;
        share) options+=" --read-only --read-write --password-fd" ;;
        shares) options+=" --json" ;;
        help)
            COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
            return
            ;;
    esac
    if [[ $cur == -* && $options_ended == 0 ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        # A box whose name begins with "-" is offered as well.
        [[ $subcommand != list && $subcommand != create ]] && ((operands == 0)) && _vaultrane_box_names
        return
    fi

    case $subcommand in
        list | create) ;;
        share | unshare)
            if ((operands == 0)); then
                _vaultrane_box_names
            elif ((operands == 1)); then
                COMPREPLY=($(compgen -u -- "$cur"))
            fi
            ;;
        rename)
            ((operands == 0)) && _vaultrane_box_names
            ;;
        *)
            ((operands == 0)) && _vaultrane_box_names
            ;;
    esac
}
complete -F _vaultrane_box vaultrane-box
