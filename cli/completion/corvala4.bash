# bash completion of corvala4: its commands, each command's options, their values and files.
_corvala4() {
  local cur prev words cword
  _init_completion 2>/dev/null || {
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  }
  local commands="init check list run status diff approve"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --color) ((i++)) ;;
      -*) ;;
      *) command=${words[i]}; break ;;
    esac
  done

  case $prev in
    --color) COMPREPLY=($(compgen -W "auto always never" -- "$cur")); return ;;
    --executor) COMPREPLY=($(compgen -W "local slurm" -- "$cur")); return ;;
    --standard) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --junit|--html|--definition) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    -j|--jobs|--timeout|--cpus-per-case|--max-lines|--context|--exec|--reason|--partition|--slurm-arg|\
    --project|--outputs|--mandatory|--cases) return ;;
  esac

  local options
  case $command in
    "") options="-h --help -V --version --color"
        if [[ $cur != -* ]]; then COMPREPLY=($(compgen -W "$commands" -- "$cur")); return; fi ;;
    init) options="--standard --project --outputs --mandatory --txt --definition --force --help" ;;
    check|status) options="--help" ;;
    list) options="--json --help" ;;
    run) options="--exec -j --jobs --timeout --cases --mandatory --failed --fresh --no-wait --junit --html --executor
                  --partition --cpus-per-case --slurm-arg --help" ;;
    diff) options="--max-lines --context --help" ;;
    approve) options="--reason --failed --dry-run --yes --no-wait --help" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options --color" -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
}
complete -o filenames -F _corvala4 corvala4
