# bash completion for lexvia-cli: subcommands, their options, the values of
# the options that take a fixed set, and *.dic files where a dictionary goes.
_lexvia_cli() {
  local cur prev words cword
  _init_completion 2> /dev/null || {
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  }
  local commands="build info verify index dump lookup browse import-dictd settings history favourites serve"
  if ((cword == 1)); then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi
  local command=${words[1]}
  case $prev in
    --dict)
      COMPREPLY=($(compgen -f -X '!*.[dD][iI][cC]' -- "$cur") $(compgen -d -- "$cur"))
      return ;;
    --method) COMPREPLY=($(compgen -W "exact extended phrase full" -- "$cur")); return ;;
    --direction) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
    --format)
      case $command in
        history | favourites) COMPREPLY=($(compgen -W "text tsv json" -- "$cur")) ;;
        *) COMPREPLY=($(compgen -W "text tsv json lines-json" -- "$cur")) ;;
      esac
      return ;;
    --moves) COMPREPLY=($(compgen -W "home end pgup pgdn up down" -- "$cur")); return ;;
    -o | --output | --tsv | --reverse) COMPREPLY=($(compgen -f -- "$cur")); return ;;
  esac
  local options
  case $command in
    lookup) options="--dict --method --direction --prefixes --format --batch --no-suggest --help" ;;
    browse) options="--dict --direction --page-size --moves --format --batch --help" ;;
    build) options="--lang1 --lang2 --format-number --prefixes1 --prefixes2 --pair-count
                    --no-compress --transliterate --keep-control-characters --output --help" ;;
    import-dictd) options="--lang1 --lang2 --reverse --transliterate --prefixes1 --prefixes2
                           --report --tsv --output --help" ;;
    settings) options="--key --json --set --help" ;;
    history) options="--format --clear --help" ;;
    favourites) options="--format --add --remove --direction --help" ;;
    serve) options="--listen --max-clients --idle-timeout --help" ;;
    dump) options="--direction --help" ;;
    *) options="--help" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  else
    case $command in
      info | verify | index | dump | serve)
        COMPREPLY=($(compgen -f -X '!*.[dD][iI][cC]' -- "$cur") $(compgen -d -- "$cur")) ;;
      build) COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
  fi
}
complete -F _lexvia_cli lexvia-cli
