#!/bin/bash
# Runs the README's Windows walk under wine with a Windows tree's package: the ```bat blocks of
# its "On Windows" section, each line as it stands, typed into one command interpreter per
# block (for the win64 tree "win32" reads "win64", as the section says). Wine has no JDK and
# no Explorer, so the script does what the user does between the blocks: it unpacks the
# package into the folder, puts a stand-in JDK's bin on PATH (javac, jar and java that make
# what the real ones would make, and the test-double VM library as its server VM), and writes
# the files of the two `notepad` lines (the Linux walk's class, the section's configuration),
# whose lines it skips. It then checks what the walk made: helloc.exe world starts Hello with
# `world` and ..\lib\hello.jar on the class path, hello.exe is windowless and helloc.exe a
# console program, and the stamped copies' version information holds the application's names
# and none of the launcher's own. docs/installing.md's stamping block runs the same way, in
# the unpacked package's bin folder.
#
#   windows_walk.sh README.md WINDOWS_TREE CPACK win32|win64     (WINEPREFIX names the tree's prefix)
set -euo pipefail
readme=$1 tree=$2 cpack=$3 kind=$4
installing=$(dirname "$readme")/docs/installing.md
wine=${LAUNCHER_WINE:-wine}
export WINEDEBUG=-all
unset DISPLAY

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "windows_walk: $*" >&2
    exit 1
}
windows() { echo "Z:$1" | tr / '\\'; }

"$cpack" --config "$tree/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
zip=$(ls "$scratch"/package/*.zip)

# The section's bat blocks, one file each; its conf block; the Linux walk's class.
awk -v dir="$scratch" '
    /^```/ {
        if (!inside) { inside = 1; fence = substr($0, 4); if (section && fence == "bat") ++n } else { inside = 0; fence = "" }
        next
    }
    !inside && /^#+ / { section = ($0 == "### On Windows"); next }
    section && fence == "bat" { print > (dir "/block" n ".bat") }
    section && fence == "conf" { print > (dir "/hello.conf") }
' "$readme"
sed -n "/^cat > src\/Hello.java <<'JAVA'$/,/^JAVA$/p" "$readme" | sed '1d;$d' >"$scratch/Hello.java"
for part in block1.bat block2.bat block3.bat hello.conf Hello.java; do
    [ -s "$scratch/$part" ] || fail "the README's walks have no $part"
done
[ ! -e "$scratch/block4.bat" ] || fail "the Windows walk has more blocks than this script knows"
rm -f "$scratch/block4.bat"
if [ "$kind" = win64 ]; then sed -i 's/win32/win64/g' "$scratch"/block*.bat; fi

# The stand-in JDK, where the user's would be.
jdk="$scratch/jdk"
mkdir -p "$jdk/bin/server" "$jdk/lib"
for tool in javac jar java; do cp "$tree/tests/fakejvm/fake_jdk_tool.exe" "$jdk/bin/$tool.exe"; done
cp "$tree/tests/fakejvm/jvm.dll" "$jdk/bin/server/jvm.dll"
printf -- '-server KNOWN\n' >"$jdk/lib/jvm.cfg"

home="$scratch/home" hello="$scratch/home/hello"
mkdir "$home"
export FAKEJVM_RECORD
FAKEJVM_RECORD=$(windows "$scratch/record.txt")
# run_block N DIRECTORY: the block's lines, but the notepad ones, typed at a prompt there.
run_block() {
    {
        printf 'set USERPROFILE=%s\r\n' "$(windows "$home")"
        printf 'set PATH=%s;%%PATH%%\r\n' "$(windows "$jdk/bin")"
        grep -v '^notepad ' "$scratch/block$1.bat" | sed 's/$/\r/'
    } >"$scratch/typed$1.txt"
    (cd "$2" && "$wine" cmd <"$scratch/typed$1.txt" >"$scratch/out$1.txt" 2>&1) ||
        fail "block $1 ended with $?: $(cat "$scratch/out$1.txt")"
}

# check_stamped FILE NAME PRODUCT COMPANY DESCRIPTION FILEVERSION PRODUCTVERSION: the subsystem
# (windowless unless NAME ends in "c") and the version information of a stamped copy.
check_stamped() {
    local file=$1 name=$2 subsystem strings expected
    subsystem=$(od -An -tu2 -j$(($(od -An -tu4 -j60 -N4 "$file") + 24 + 68)) -N2 "$file" | tr -d ' ')
    [ "$subsystem" = "$([[ $name == *c ]] && echo 3 || echo 2)" ] || fail "$name.exe has the wrong subsystem, $subsystem"
    strings=$("$wine" "$tree/tools/stamp/stamp_version_query.exe" "$(windows "$file")" ProductName CompanyName \
        FileDescription OriginalFilename InternalName | tr -d '\r')
    expected="file $6
product $7
ProductName=$3
CompanyName=$4
FileDescription=$5
OriginalFilename=$name.exe
InternalName=$name"
    [ "$strings" = "$expected" ] || fail "$name.exe's version information reads:
$strings"
}

run_block 1 "$home"
[ -d "$hello/src" ] && [ -d "$hello/lib" ] && [ -d "$hello/bin" ] || fail "the first block made no hello\\src, lib and bin"
unzip -q "$zip" -d "$hello"
cp "$scratch/Hello.java" "$hello/src/Hello.java"
cp "$scratch/hello.conf" "$hello/bin/hello.conf"
run_block 2 "$hello"

record=$(tr -d '\r' <"$scratch/record.txt" 2>/dev/null) || fail "helloc.exe started no VM: $(cat "$scratch/out2.txt")"
grep -qx 'findclass=Hello' <<<"$record" || fail "Hello was not started: $record"
grep -qx 'arg=world' <<<"$record" || fail "Hello did not get world: $record"
grep -q '^option=-Djava.class.path=\.\.\\lib\\hello\.jar;' <<<"$record" || fail "no ..\\lib\\hello.jar first on the class path: $record"
[ -f "$hello/jre/bin/server/jvm.dll" ] || fail "the JDK was not copied to jre"

cp "$(dirname "$0")/../../tools/stamp/test/app.ico" "$hello/hello.ico"
run_block 3 "$hello"
check_stamped "$hello/bin/hello.exe" hello Hello "Example Ltd" Hello 1.0.0.0 1.0.0.0
check_stamped "$hello/bin/helloc.exe" helloc Hello "Example Ltd" "Hello (console)" 1.0.0.0 1.0.0.0

# installing.md's block, in the package's bin folder with the icon and a bin folder there.
awk '/^```/ { inside = !inside; bat = inside && $0 == "```bat"; next } bat { print }' "$installing" >"$scratch/block4.bat"
[ -s "$scratch/block4.bat" ] || fail "installing.md has no bat block"
package_bin=$(ls -d "$hello"/launcher-*/bin)
mkdir "$package_bin/bin"
cp "$hello/hello.ico" "$package_bin/myapp.ico"
run_block 4 "$package_bin"
check_stamped "$package_bin/bin/myapp.exe" myapp "My App" "My Company" "My App" 2.3.4.0 2.3.0.0
check_stamped "$package_bin/bin/myappc.exe" myappc "My App" "My Company" "My App (console)" 2.3.4.0 2.3.0.0
echo "windows_walk: the README's Windows walk ran under wine ($kind), its results as the README says"
