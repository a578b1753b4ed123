#!/bin/bash
# Runs a walk of the user's pages as a user pastes it: the ```sh blocks of one section of a
# page (or of the whole page), in order, as one script, from an empty home folder, with the
# packages that the trees' CPack make. What they print must be the section's ```text blocks
# (nothing, when it has none), and nothing may go to standard error.
#
# A walk that names its package on one line package=... (the README's Linux walk) gets the
# first package there, and its file name must be the one the page gives. Any other walk finds
# every package in its folder, under the file name CPack gives it, as the page tells the user
# to lay them out, and the files given with --file SOURCE=NAME beside them.
#
# --holds NAME=TEXT: the walk leaves the file NAME in its folder, and it holds TEXT in UTF-16
# (as a stamped executable's version information does).
#
# Usage: readme_walk.sh PAGE SECTION CPACK CPACK_CONFIG... [--file SOURCE=NAME]... [--holds NAME=TEXT]...
#        SECTION is a heading line ("### On Linux"), or "-" for the whole page.
set -euo pipefail
page=$1 section=$2 cpack=$3
shift 3
configs=() files=() holds=()
while [ $# -gt 0 ]; do
    case $1 in
    --file) files+=("$2"); shift 2 ;;
    --holds) holds+=("$2"); shift 2 ;;
    *) configs+=("$1"); shift ;;
    esac
done
name=$(basename "$page")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

packages=()
for i in "${!configs[@]}"; do
    "$cpack" --config "${configs[$i]}" -B "$scratch/package$i" >"$scratch/cpack.log" 2>&1 ||
        { cat "$scratch/cpack.log"; exit 1; }
    shopt -s nullglob
    made=("$scratch/package$i"/*.tar.gz "$scratch/package$i"/*.zip)
    shopt -u nullglob
    if [ ${#made[@]} -ne 1 ]; then
        echo "readme_walk: cpack made no single package from ${configs[$i]}: ${made[*]}" >&2
        exit 1
    fi
    packages+=("${made[0]}")
done

# The section's blocks: sh lines into walk.sh, text lines into expected.txt.
awk -v walk="$scratch/walk.sh" -v expected="$scratch/expected.txt" -v wanted="$section" '
    BEGIN { inSection = (wanted == "-") }
    /^```/ {
        if (!inside) { inside = 1; fence = substr($0, 4) } else { inside = 0; fence = "" }
        next
    }
    !inside && /^#+ / && wanted != "-" { inSection = ($0 == wanted); next }
    inSection && fence == "sh" { print > walk }
    inSection && fence == "text" { print > expected }
' "$page"
: >>"$scratch/walk.sh"
: >>"$scratch/expected.txt"
if [ ! -s "$scratch/walk.sh" ]; then
    echo "readme_walk: no sh blocks in \"$section\" of $page" >&2
    exit 1
fi

mkdir "$scratch/home"
named=$(grep -c '^package=' "$scratch/walk.sh" || true)
if [ "$named" -gt 1 ]; then
    echo "readme_walk: the walk must name the package on one line package=..., not $named" >&2
    exit 1
elif [ "$named" -eq 1 ]; then
    # The one line that names the package gets this tree's, under the page's file name.
    page_name=$(basename "$(sed -n 's/^package=\([^ ]*\).*/\1/p' "$scratch/walk.sh")")
    if [ "$page_name" != "$(basename "${packages[0]}")" ]; then
        echo "readme_walk: $name names the package $page_name, cpack makes $(basename "${packages[0]}")" >&2
        exit 1
    fi
    sed -i "s|^package=.*|package='${packages[0]}'|" "$scratch/walk.sh"
else
    cp "${packages[@]}" "$scratch/home/"
    for file in "${files[@]}"; do cp "${file%%=*}" "$scratch/home/${file#*=}"; done
fi

# A home of its own, so that ~/hello is an empty folder; no JAVA_HOME or CLASSPATH of the
# caller's reaches the walk.
set +e
(cd "$scratch/home" && env -u JAVA_HOME -u CLASSPATH HOME="$scratch/home" \
    bash -euo pipefail "$scratch/walk.sh" >"$scratch/out.txt" 2>"$scratch/err.txt")
status=$?
set -e
if [ $status -ne 0 ]; then
    echo "readme_walk: the walk of $name failed with exit code $status" >&2
    cat "$scratch/out.txt" "$scratch/err.txt" >&2
    exit 1
fi
if ! diff -u "$scratch/expected.txt" "$scratch/out.txt"; then
    echo "readme_walk: the walk of $name prints something else than the page shows" >&2
    exit 1
fi
if [ -s "$scratch/err.txt" ]; then
    echo "readme_walk: the walk of $name wrote to standard error:" >&2
    cat "$scratch/err.txt" >&2
    exit 1
fi
hex() { od -An -v -tx1 | tr -d ' \n'; }
for held in "${holds[@]}"; do
    file="$scratch/home/${held%%=*}" text=${held#*=}
    if [ ! -f "$file" ] || [[ $(hex <"$file") != *$(printf '%s' "$text" | iconv -f UTF-8 -t UTF-16LE | hex)* ]]; then
        echo "readme_walk: the walk of $name left no ${held%%=*} that holds \"$text\"" >&2
        exit 1
    fi
done
echo "readme_walk: $(grep -cv '^\s*$' "$scratch/walk.sh") lines of $name ran, output as shown"
