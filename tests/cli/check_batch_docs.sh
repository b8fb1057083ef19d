#!/usr/bin/env bash
# Checks what documents pellora-batch outside the program: the installed
# manual page renders cleanly and names every option of --help, and the bash
# completion offers every option and the values of those that take a word.
# Usage: check_batch_docs.sh BUILD_DIR
set -euo pipefail
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
status=0
fail() { echo "check_batch_docs: $*" >&2; status=1; }

# Only the terminal front end's part: the test does not need the window built.
DESTDIR="$stage" cmake --install "$build/src/cli" --prefix /usr >/dev/null
page=$stage/usr/share/man/man1/pellora-batch.1
completion=$stage/usr/share/bash-completion/completions/pellora-batch
[ -f "$page" ] || fail "share/man/man1/pellora-batch.1 missing"
[ -f "$completion" ] || fail "share/bash-completion/completions/pellora-batch missing"
[ $status -eq 0 ] || exit $status

warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
[ -z "$warnings" ] || fail "the manual page does not render cleanly: $warnings"
text=$(groff -man -Tutf8 "$page" 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g; s/.\x08//g')

# Every option --help lists, in the page and in the completion.
options=$("$build/bin/pellora-batch" --help | grep -E '^ +-' | sed -E 's/^ +//; s/  .*//' | grep -oE -- '(^|[ ,])--?[a-z0-9][a-z0-9-]*' | tr -d ' ,' | sort -u)
[ -n "$options" ] || fail "no options found in --help"
complete_words() {  # the completion's answer for the words given, the last being completed
  bash -c 'source "$1"; shift; COMP_WORDS=(pellora-batch "$@"); COMP_CWORD=$#; _pellora_batch;
           printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
}
offered=$(complete_words -)
for option in $options; do
  grep -qF -- "$option" <<<"$text" || fail "the manual page does not mention $option"
  grep -qxF -- "$option" <<<"$offered" || fail "the completion does not offer $option"
done

expect_completion() {  # expected words, then the command line
  local expected=$1
  shift
  local got
  got=$(complete_words "$@" | tr '\n' ' ')
  [ "$got" = "$expected" ] || fail "completing '$*' gave '$got', not '$expected'"
}
expect_completion "--shard --shard-by " --sha
expect_completion "index name " --shard-by ""
expect_completion "jpeg jp2 " --format j
expect_completion "env:SLURM_ARRAY_TASK_ID/ env:JOB_COMPLETION_INDEX/ " --shard e
exit $status
