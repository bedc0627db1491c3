#!/usr/bin/env bash
# The manual page and the bash completion of corvane-batch follow its --help: every option the
# help lists is completed and is in the page, the completion offers no option the help lacks,
# and values are completed as the help describes them. Both programs answer --version with the
# project's version, which is also the newest release of the AppStream metadata and of the
# Debian changelog. Usage: check_docs.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir=$(realpath "$1") build=$(realpath "$2") version=$3
batch=$build/cli/corvane-batch
completion=$build/packaging/corvane-batch.bash
page=$build/packaging/corvane-batch.1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# What Tab offers after the words given (the last one is the word being completed).
offered() {
    bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        shift
        COMP_WORDS=(corvane-batch "$@")
        COMP_CWORD=$#
        COMP_LINE="${COMP_WORDS[*]}"
        COMP_POINT=${#COMP_LINE}
        _corvane_batch 2>/dev/null
        printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@" | sort -u
}

help_text=$("$batch" --help)
# Long options anywhere in the help, short ones where an option line starts.
help_options=$( (grep -oE -- '--[a-z][a-z0-9-]*' <<< "$help_text"
                 grep -oE -- '^ +-[a-zA-Z],' <<< "$help_text" | tr -d ' ,') | sort -u)
[ -n "$help_options" ] || fail "no option found in the help"
completed_options=$( (offered --; offered -) | sort -u)
missing=$(comm -23 <(echo "$help_options") <(echo "$completed_options"))
extra=$(comm -13 <(echo "$help_options") <(echo "$completed_options"))
[ -z "$missing" ] || fail "options of the help that Tab does not complete:" $missing
[ -z "$extra" ] || fail "options that Tab completes but the help does not list:" $extra

# Value completion, one row per kind of value: words, a list item after a comma, folders.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/dir-a"
touch "$scratch/file-a"
while IFS='|' read -r words expected; do
    read -ra typed <<< "$words"
    [[ $words != *' ' ]] || typed+=("")  # a trailing space: completing an empty word
    got=$(cd "$scratch" && offered "${typed[@]}" | tr '\n' ' ' | sed 's/ $//')
    [ "$got" = "$expected" ] || fail "after '$words' Tab offers '$got', not '$expected'"
done << 'ROWS'
--on-clash o|overwrite
--on-long-name fold|fold-prefix fold-suffix
-f png,jp|png,jpeg
--format a|all
-o |dir-a
--output di|dir-a
--threads |
--recurs|--recursive
ROWS

# The page: rendered without a warning, holding every option of the help and every note kind
# the JSON report can carry.
for p in "$page" "$build/packaging/corvane.1"; do
    if ! warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$p" 2>&1 > /dev/null) ||
        [ -n "$warnings" ]; then
        fail "$(basename "$p") does not render cleanly: $warnings"
    fi
done
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$page" 2> /dev/null | col -b || true)
for option in $help_options; do
    grep -qF -- "$option" <<< "$rendered" || fail "the manual page lacks $option"
done
for section in "EXIT STATUS" "JSON REPORT" "EXAMPLES"; do
    grep -qx "$section" <<< "$rendered" || fail "the manual page has no $section"
done
kinds=$(sed -n '/^QString NoteKindName/,/^}/p' "$source_dir/src/engine/file_result.cpp" |
        grep -oE 'QStringLiteral\("[a-z-]+"\)' | sed -E 's/.*"(.*)".*/\1/')
[ -n "$kinds" ] || fail "no note kind found in src/engine/file_result.cpp"
report=$(sed -n '/^JSON REPORT/,/^EXAMPLES/p' <<< "$rendered")
for kind in $kinds; do
    grep -qE "^[[:space:]]+$kind([[:space:]]|\$)" <<< "$report" || fail "the JSON REPORT section does not explain '$kind'"
done

# One version everywhere.
[ "$("$batch" --version)" = "corvane-batch $version" ] || fail "corvane-batch --version"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$build/app/corvane" --version)" = "corvane $version" ] ||
    fail "corvane --version"
grep -qE "^\.TH .*\"corvane-batch $version\"" "$page" || fail "the page does not carry $version"
release=$(grep -oE '<release version="[^"]+"' "$source_dir/packaging/org.example.corvane.metainfo.xml.in" |
          head -1 | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "the newest AppStream release is $release, not $version"
changelog=$(head -1 "$source_dir/packaging/changelog" | sed -E 's/^corvane \(([^)]*)\).*/\1/')
[ "$changelog" = "$version" ] || fail "the newest Debian changelog entry is $changelog, not $version"

[ "$failures" -eq 0 ] || exit 1
echo "manual page, completion and versions follow the help"
