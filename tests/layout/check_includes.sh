#!/bin/bash
# The source tree's rooms have an order, top to bottom, in the table of src/README.md. A product
# file includes only its own room and the rooms below it, so no two rooms include each other;
# a member of a room's class is defined in that room; base/, the bottom, includes nothing of the
# platform layer; and no files include each other in a circle, within a room or across rooms.
# Prints each breach and fails.
# Usage: check_includes.sh SOURCE_ROOT
set -u
src=${1:?the repository root}/src

declare -A rank
order=0
while read -r room; do
    rank[$room]=$order
    order=$((order + 1))
done < <(sed -n 's/^| `\([a-z0-9_]*\)\/` |.*/\1/p' "$src/README.md")
if [ "$order" -eq 0 ]; then
    echo "src/README.md names no rooms"
    exit 1
fi

products=$(cd "$src" && find . \( -name '*.cpp' -o -name '*.h' \) ! -name '*_test.cpp' | sed 's|^\./||' | sort)
# The room whose header declares each class or struct.
declare -A owner
for file in $products; do
    case $file in *.h) ;; *) continue ;; esac
    for name in $(sed -n 's/^\(class\|struct\) \([A-Za-z_][A-Za-z0-9_]*\)\( final\)\? *[{:].*/\2/p' "$src/$file"); do
        owner[$name]=${file%%/*}
    done
done

failed=0
for file in $products; do
    room=${file%%/*}
    if [ -z "${rank[$room]+x}" ]; then
        echo "$file: its room $room/ has no place in the order of src/README.md"
        failed=1
        continue
    fi
    for included in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$src/$file"); do
        target=${included%%/*}
        [ "$target" = "$included" ] && continue  # beside the file
        if [ -z "${rank[$target]+x}" ]; then
            echo "$file includes $included: $target/ has no place in the order of src/README.md"
            failed=1
        elif [ "${rank[$target]}" -lt "${rank[$room]}" ]; then
            echo "$file includes $included: $target/ lies above $room/"
            failed=1
        fi
    done
    case $file in *.cpp) ;; *) continue ;; esac
    # Definitions begin a line: "Type Class::member(" or "Class::Class(".
    for name in $(grep -oE '^([A-Za-z][^(;=]*[^A-Za-z0-9_:])?[A-Z][A-Za-z0-9_]*::~?[A-Za-z_][A-Za-z0-9_]*\(' "$src/$file" |
                  sed -E 's/^(.*[^A-Za-z0-9_:])?([A-Z][A-Za-z0-9_]*)::~?[A-Za-z_][A-Za-z0-9_]*\($/\2/' | sort -u); do
        if [ -n "${owner[$name]+x}" ] && [ "${owner[$name]}" != "$room" ]; then
            echo "$file defines a member of $name, a class of ${owner[$name]}/"
            failed=1
        fi
    done
done

# base/ is pure text and path code: the platform layer stands on it, never the other way.
for file in $products; do
    case $file in base/*) ;; *) continue ;; esac
    if grep -Eq '^[[:space:]]*#[[:space:]]*include[[:space:]]*"platform/' "$src/$file"; then
        echo "$file includes the platform layer: base/ stands below it"
        failed=1
    fi
done

# Circles among files. A header and the files that implement it are one unit: x.cpp beside x.h,
# platform/<system>/x_<system>.cpp for platform/x.h, and a file with no header of its own for
# the first header of its room that it includes. A unit that includes another's header needs
# it; no unit may need itself through others.
unit_of() {
    local file=$1 stem=${1%.*}
    if [ -f "$src/$stem.h" ]; then
        echo "$stem"
        return
    fi
    case $file in
    platform/posix/*_posix.cpp | platform/win32/*_win32.cpp)
        local shared=${stem%_*}
        shared=platform/${shared##*/}
        if [ -f "$src/$shared.h" ]; then
            echo "$shared"
            return
        fi
        ;;
    esac
    local room=${file%%/*} first
    first=$(sed -n "s|^[[:space:]]*#[[:space:]]*include[[:space:]]*\"\\($room/[^\"]*\\)\\.h\".*|\\1|p" "$src/$file" | head -1)
    echo "${first:-$stem}"
}
edges=$(
    for file in $products; do
        from=$(unit_of "$file")
        for included in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$src/$file"); do
            [ "$included" = "${included%%/*}" ] && included=$(dirname "$file")/$included
            [ -f "$src/$included" ] || continue
            to=${included%.*}
            [ "$to" = "$from" ] || echo "$from $to"
        done
    done | sort -u
)
if ! circle=$(echo "$edges" | tsort 2>&1 >/dev/null) || [ -n "$circle" ]; then
    echo "files include each other in a circle (each needs the next):"
    echo "$circle" | sed -n 's/^tsort: \([^:]*\)$/    \1/p'
    failed=1
fi
exit $failed
