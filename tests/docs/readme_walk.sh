#!/bin/bash
# Runs the README's walk from an empty folder to a running Java application on Linux: the
# ```sh blocks of its "On Linux" section, in order, as one script, with the package that this
# tree's CPack makes. What they print must be the section's ```text blocks. The package is
# taken from where the script names it; its file name must be the one the README gives.
# Usage: readme_walk.sh README.md CPackConfig.cmake cpack
set -euo pipefail
readme=$1 cpack_config=$2 cpack=${3:-cpack}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$cpack" --config "$cpack_config" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
packages=("$scratch"/package/*.tar.gz)
if [ ${#packages[@]} -ne 1 ] || [ ! -f "${packages[0]}" ]; then
    echo "readme_walk: cpack made no single .tar.gz: ${packages[*]}" >&2
    exit 1
fi
package=${packages[0]}

# The section's blocks: sh lines into walk.sh, text lines into expected.txt.
awk -v walk="$scratch/walk.sh" -v expected="$scratch/expected.txt" '
    /^```/ {
        if (!inside) { inside = 1; fence = substr($0, 4) } else { inside = 0; fence = "" }
        next
    }
    !inside && /^#+ / { section = ($0 == "### On Linux"); next }
    section && fence == "sh" { print > walk }
    section && fence == "text" { print > expected }
' "$readme"
: >>"$scratch/walk.sh"
: >>"$scratch/expected.txt"
if [ ! -s "$scratch/walk.sh" ] || [ ! -s "$scratch/expected.txt" ]; then
    echo "readme_walk: no \"### On Linux\" section with sh and text blocks in $readme" >&2
    exit 1
fi

# The one line that names the package gets this tree's, under the README's file name.
named=$(grep -c '^package=' "$scratch/walk.sh" || true)
if [ "$named" -ne 1 ]; then
    echo "readme_walk: the walk must name the package on one line package=..., not $named" >&2
    exit 1
fi
readme_name=$(basename "$(sed -n 's/^package=\([^ ]*\).*/\1/p' "$scratch/walk.sh")")
if [ "$readme_name" != "$(basename "$package")" ]; then
    echo "readme_walk: the README names the package $readme_name, cpack makes $(basename "$package")" >&2
    exit 1
fi
sed -i "s|^package=.*|package='$package'|" "$scratch/walk.sh"

# A home of its own, so that ~/hello is an empty folder; no JAVA_HOME or CLASSPATH of the
# caller's reaches the walk.
mkdir "$scratch/home"
set +e
(cd "$scratch/home" && env -u JAVA_HOME -u CLASSPATH HOME="$scratch/home" \
    bash -euo pipefail "$scratch/walk.sh" >"$scratch/out.txt" 2>"$scratch/err.txt")
status=$?
set -e
if [ $status -ne 0 ]; then
    echo "readme_walk: the walk failed with exit code $status" >&2
    cat "$scratch/out.txt" "$scratch/err.txt" >&2
    exit 1
fi
if ! diff -u "$scratch/expected.txt" "$scratch/out.txt"; then
    echo "readme_walk: the walk prints something else than the README shows" >&2
    exit 1
fi
if [ -s "$scratch/err.txt" ]; then
    echo "readme_walk: the walk wrote to standard error:" >&2
    cat "$scratch/err.txt" >&2
    exit 1
fi
echo "readme_walk: $(grep -cv '^\s*$' "$scratch/walk.sh") lines of the README ran, output as shown"
