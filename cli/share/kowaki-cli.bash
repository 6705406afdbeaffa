# bash completion for kowaki-cli
_kowaki_cli() {
  local cur prev words cword
  _init_completion 2>/dev/null || {
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  }
  local commands="list play export browse settings index pack unpack replace status verify convert help"
  local common="-h --help -q --quiet --lang"
  if ((cword == 1)); then
    mapfile -t COMPREPLY < <(compgen -W "$commands --version -V --help" -- "$cur")
    return
  fi
  case $prev in
    --lang) mapfile -t COMPREPLY < <(compgen -W "en ja" -- "$cur"); return ;;
    --type) mapfile -t COMPREPLY < <(compgen -W "ogg wav flac" -- "$cur"); return ;;
    --rate) mapfile -t COMPREPLY < <(compgen -W "48000 44100 32000 24000 22050 16000 11025 8000 source" -- "$cur"); return ;;
    --loudness-mode) mapfile -t COMPREPLY < <(compgen -W "track album" -- "$cur"); return ;;
    --flac-level) mapfile -t COMPREPLY < <(compgen -W "0 1 2 3 4 5 6 7 8" -- "$cur"); return ;;
    --channels) mapfile -t COMPREPLY < <(compgen -W "1 2 source" -- "$cur"); return ;;
    --merge)
      if [[ ${words[1]} == settings ]]; then
        mapfile -t COMPREPLY < <(compgen -W "on off" -- "$cur")
      else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      fi
      return ;;
    --to|--wineprefix|--from) mapfile -t COMPREPLY < <(compgen -d -- "$cur"); return ;;
    --bits) mapfile -t COMPREPLY < <(compgen -W "8 16" -- "$cur"); return ;;
    --codec) mapfile -t COMPREPLY < <(compgen -W "pcm ima-adpcm ms-adpcm mulaw alaw" -- "$cur"); return ;;
    -j|--jobs|--name|--header-word|--quality|--remove) return ;;
    --add) mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
    -o) mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
  esac
  local options
  case ${words[1]} in
    list) options="--wineprefix --json --all --loudness -j --jobs" ;;
    play) options="--wineprefix --json" ;;
    browse) options="--wineprefix --all" ;;
    export) options="--wineprefix --to --merge --type --rate --channels --name --markers --gap --loudness --true-peak --loudness-mode --flac-level -n --no-clobber -v --verbose --json -j --jobs" ;;
    settings) options="--type --rate --channels --merge" ;;
    index) options="--json" ;;
    pack) options="-o --header-word --from --force --quality --add --remove --all --dry-run --no-backup -v --verbose" ;;
    unpack) options="--force -v --verbose" ;;
    replace) options="--all --force --quality --dry-run --no-backup -v --verbose" ;;
    status) options="--json -v --verbose --add --remove --all" ;;
    verify) options="--json --strict -j --jobs" ;;
    convert) options="--rate --channels --bits --codec" ;;
    help) mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur"); return ;;
  esac
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options $common" -- "$cur")
  else
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}
complete -o filenames -F _kowaki_cli kowaki-cli
