#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Each program's --help, its manual page's OPTIONS and the bash completion
# offer the same options, so none is added or renamed in one place only.
#   docs_agree.sh ORVA_CONTROL ORVA_PROJECTOR_SIM SOURCE_DIR [ORVA_PJLINK]
set -uo pipefail
source_dir=$3 failures=0

# The option column of --help: "  -s, --rate, --speed <RATE>   Use ...".
from_help() { "$1" --help | grep -E '^  -' | sed -E 's/^  //; s/  .*//; s/ <[^>]*>//g; s/, /\n/g' | sort; }
# The line after each .TP of the OPTIONS section, its \- read as -.
from_man() {
    sed -n '/^\.SH OPTIONS/,/^\.SH [^O]/p' "$source_dir/data/man/$1.1" | grep -A1 '^\.TP' |
        grep -v -e '^\.TP' -e '^--$' | sed 's/\\-/-/g' | grep -oE '(^|[ "])--?[a-z][a-z-]*' |
        tr -d ' "' | sort
}
# What the completion offers after "--".
from_completion() {
    bash -c 'source /usr/share/bash-completion/bash_completion
             source "$1/data/completion/orva-control"
             COMP_WORDS=("$2" --) COMP_CWORD=1 COMP_LINE="$2 --" COMP_POINT=$((${#2} + 3))
             $(complete -p "$2" | sed -E "s/.*-F ([^ ]+).*/\1/")
             printf "%s\n" "${COMPREPLY[@]}"' _ "$source_dir" "$1" | sort
}
same() { # same WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then echo "PASS: $1"; else
        echo "FAIL: $1"; diff <(echo "$2") <(echo "$3"); failures=$((failures + 1))
    fi
}

for program in "$1" "$2" ${4:+"$4"}; do
    name=$(basename "$program")
    help=$(from_help "$program")
    [ -n "$help" ] || { echo "FAIL: $name --help lists no option"; failures=$((failures + 1)); }
    same "$name: manual page and --help" "$help" "$(from_man "$name")"
    same "$name: completion and --help" "$(grep -- '^--' <<<"$help")" "$(from_completion "$name")"
done
echo "docs_agree: $failures failed"
[ "$failures" -eq 0 ]
