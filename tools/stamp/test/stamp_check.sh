#!/bin/bash
# The stamping tool against a Windows tree's launcher, as a build script uses it: stamped by the
# host's launcher-stamp and by the tree's launcher-stamp.exe under wine, each copy is read back
# with independent tools (icoutils' wrestool for the icon, the system's version API under wine
# for the version information), and every refusal gives its exact message, exit code 1 and
# leaves no file behind.
#
#   stamp_check.sh HOST_STAMPER WINDOWS_TREE [TOOLS_TREE]   (WINEPREFIX names TOOLS_TREE's prefix)
#
# STAMP_RUNNER, when set, is a command (words separated by blanks) that each run of the host's
# tool runs under: valgrind with its leak check, say.
# The Windows programs (launcher-stamp.exe, stamp_version_query.exe) are TOOLS_TREE's, by default
# WINDOWS_TREE's: the win64 tree's stamp and read the win32 launcher where 32-bit programs
# cannot run.
set -uo pipefail
host_stamper=$1
tree=$2
tools=${3:-$tree}
here=$(cd "$(dirname "$0")" && pwd)
wine=${LAUNCHER_WINE:-wine}
export WINEDEBUG=-all
unset DISPLAY

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

cp "$tree/launcher.exe" launcher.exe
cp "$here/app.ico" app.ico
icons_before=$(wrestool -l --type=3 launcher.exe | wc -l)

# The two ways of running the tool: natively, or the Windows build under wine.
# shellcheck disable=SC2086  # the runner's words
host() { ${STAMP_RUNNER:-} "$host_stamper" "$@"; }
windows() { "$wine" "$tools/launcher-stamp.exe" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# stamp_with TOOL OUTPUT [INPUT]
stamp_with() {
    "$1" "${3:-launcher.exe}" "$2" --set-icon app.ico --set-file-version 2.3.4.5 --set-product-version 2.3 \
        --set-version-string ProductName 'Hello Äpp' --set-version-string CompanyName 'Example Ltd' \
        --set-version-string FileDescription 'Hello, the application' \
        --set-version-string LegalCopyright '© 2026 Example Ltd' --set-version-string OriginalFilename hello.exe \
        --set-version-string InternalName hello --set-version-string Comments 'Stamped on a build machine'
}

expected_version='file 2.3.4.5
product 2.3.0.0
ProductName=Hello Äpp
CompanyName=Example Ltd
FileDescription=Hello, the application
LegalCopyright=© 2026 Example Ltd
OriginalFilename=hello.exe
InternalName=hello
FileVersion=2.3.4.5
ProductVersion=2.3.0.0
Comments=Stamped on a build machine'

check_stamped() {
    local file=$1
    [ "$(wrestool -l --type=14 "$file" | wc -l)" = 1 ] || fail "$file: not one icon group"
    [ "$(wrestool -l --type=3 "$file" | wc -l)" = 3 ] || fail "$file: old icon images left (had $icons_before)"
    wrestool -x --type=14 "$file" -o icon.ico || fail "$file: wrestool cannot extract the icon"
    cmp -s -n "$(stat -c %s app.ico)" icon.ico app.ico || fail "$file: the icon read back differs from app.ico"
    local version
    version=$("$wine" "$tools/tools/stamp/stamp_version_query.exe" "$file" ProductName CompanyName FileDescription \
        LegalCopyright OriginalFilename InternalName FileVersion ProductVersion Comments | tr -d '\r')
    [ "$version" = "$expected_version" ] || fail "$file: version information read back:
$version"
}

stamp_with host host.exe || fail "the host's tool did not stamp"
stamp_with windows windows.exe || fail "the Windows tool did not stamp under wine"
check_stamped host.exe
check_stamped windows.exe
cmp -s host.exe windows.exe || fail "the host's and the Windows tool's copies differ"
cmp -s launcher.exe "$tree/launcher.exe" || fail "the input changed"
# A windowless (GUI subsystem) executable stamps the same way and stays windowless.
pe=$(od -An -tu4 -j60 -N4 launcher.exe | tr -d ' ')
cp launcher.exe gui.exe
printf '\x02\x00' | dd of=gui.exe bs=1 seek=$((pe + 24 + 68)) conv=notrunc status=none
stamp_with host gui-stamped.exe gui.exe || fail "a windowless executable could not be stamped"
check_stamped gui-stamped.exe
[ "$(od -An -tu2 -j$((pe + 24 + 68)) -N2 gui-stamped.exe | tr -d ' ')" = 2 ] || fail "the stamped copy lost its subsystem"

# Stamping a stamped copy again replaces its resources in place.
host host.exe again.exe --set-icon app.ico || fail "a stamped copy could not be stamped again"
[ "$(stat -c %s again.exe)" = "$(stat -c %s host.exe)" ] || fail "stamping again grew the file"

# ---- Signing: stamp first, then sign ---------------------------------------------------------------
# A certificate made on the spot signs the stamped copy; the copy verifies (its checksum too),
# keeps its icon and version information, starts and shows its stamped title in -help.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Example Ltd" \
    -addext extendedKeyUsage=codeSigning > openssl.log 2>&1 || fail "openssl made no certificate: $(cat openssl.log)"
osslsigncode sign -certs cert.pem -key key.pem -h sha256 -n Hello -in host.exe -out signed.exe > sign.log 2>&1 ||
    fail "osslsigncode did not sign: $(cat sign.log)"
osslsigncode verify -CAfile cert.pem signed.exe > verify.log 2>&1 || fail "the signed copy does not verify: $(cat verify.log)"
! grep -qi mismatch verify.log || fail "the signed copy's checksum or digest does not match: $(cat verify.log)"
check_stamped signed.exe
# The signed copy starts where the tree's own programs run (not the win32 launcher where only
# the win64 tree's tools can).
if [ "$tools" = "$tree" ]; then
    : > signed.conf
    title=$("$wine" signed.exe -help 2> /dev/null | tr -d '\r' | head -n 1)
    [[ "$title" == "Hello "?"pp" || "$title" == "Hello Äpp" ]] || fail "the signed copy's -help begins: $title"
fi

# ---- Refusals -----------------------------------------------------------------------------------
mkdir refusals logs
cd refusals || exit 1
cp ../launcher.exe launcher.exe
cp ../signed.exe signed.exe
cp ../app.ico app.ico
printf 'hello\n' > notpe.exe
head -c 4096 launcher.exe > cut.exe
# The resource directory moved far outside every section.
pe=$(od -An -tu4 -j60 -N4 launcher.exe | tr -d ' ')
magic=$(od -An -tx2 -j$((pe + 24)) -N2 launcher.exe | tr -d ' ')
directories=$((pe + 24 + (16#$magic == 0x20b ? 112 : 96)))
cp launcher.exe badres.exe
printf '\x00\xf0\xff\x7f' | dd of=badres.exe bs=1 seek=$((directories + 16)) conv=notrunc status=none
printf 'GIF89a' > bad.ico
head -c 100 app.ico > cut.ico
# Two entries naming the same image, which the file holds once.
entry='\x10\x10\x00\x00\x01\x00\x20\x00\x80\x00\x00\x00\x26\x00\x00\x00'
{ printf "\x00\x00\x01\x00\x02\x00$entry$entry\x89PNG\r\n\x1a\n"; head -c 120 /dev/zero; } > shared.ico
ln launcher.exe hardlink.exe

# refuse TOOL EXPECTED-STDERR ARGUMENTS...: exit code 1, the exact message, nothing written.
refuse() {
    local tool=$1 expected=$2
    shift 2
    local before
    before=$(ls -A)
    "$tool" "$@" > ../logs/out 2> ../logs/err
    local code=$?
    local err
    err=$(tr -d '\r' < ../logs/err)
    [ "$code" = 1 ] || fail "$tool $*: exit code $code"
    [ "$err" = "$expected" ] || fail "$tool $*: stderr
$err"
    [ ! -s ../logs/out ] || fail "$tool $*: wrote on stdout"
    [ "$(ls -A)" = "$before" ] || fail "$tool $*: left files: $(ls -A)"
}

for tool in host windows; do
    refuse $tool "launcher-stamp: notpe.exe is not a PE executable: it has no MZ header" notpe.exe out.exe
    refuse $tool "launcher-stamp: app.ico is not a PE executable: it has no MZ header" app.ico out.exe
    refuse $tool "launcher-stamp: cut.exe is a damaged PE executable: section 1 runs past the end of the file" \
        cut.exe out.exe --set-file-version 1.2.3.4
    refuse $tool "launcher-stamp: badres.exe is a damaged PE executable: its resources point outside the data of its sections" \
        badres.exe out.exe --set-version-string ProductName x
    refuse $tool "launcher-stamp: bad.ico is not an icon file: it does not start as an icon file" \
        launcher.exe out.exe --set-icon bad.ico
    refuse $tool "launcher-stamp: cut.ico is not an icon file: image 1 lies outside the file" \
        launcher.exe out.exe --set-icon cut.ico
    refuse $tool "launcher-stamp: shared.ico is not an icon file: image 2 shares its bytes with another" \
        launcher.exe out.exe --set-icon shared.ico
    refuse $tool "launcher-stamp: OUTPUT hardlink.exe is the same file as INPUT launcher.exe: write the stamped copy to another file" \
        launcher.exe hardlink.exe --set-icon app.ico
    refuse $tool "launcher-stamp: signed.exe is signed: stamp it before signing it" signed.exe out.exe --set-icon app.ico
done
# OUTPUT that cannot be written: a directory (the temporary file is made, the rename fails) and
# a file in a directory that does not exist. The system's reason ends the message.
mkdir directory.exe
refuse host "launcher-stamp: cannot write directory.exe: Is a directory" launcher.exe directory.exe
refuse host "launcher-stamp: cannot write missing/out.exe: No such file or directory" launcher.exe missing/out.exe
for output in directory.exe missing/out.exe; do
    before=$(ls -A)
    windows launcher.exe "$output" > /dev/null 2> ../logs/err
    code=$?
    [ "$code" = 1 ] && grep -q "^launcher-stamp: cannot write $output: " ../logs/err ||
        fail "windows $output: exit code $code, stderr $(cat ../logs/err)"
    [ "$(ls -A)" = "$before" ] || fail "windows $output: left files: $(ls -A)"
done
rmdir directory.exe
# Names beyond ASCII, on both sides.
windows launcher.exe 'Äpp ☕.exe' --set-version-string ProductName 'Äpp ☕' 2> ../logs/err || fail "windows: non-ASCII OUTPUT: $(cat ../logs/err)"
host 'Äpp ☕.exe' 'Äpp ☕ 2.exe' || fail "host: non-ASCII names"
rm -f 'Äpp ☕.exe' 'Äpp ☕ 2.exe'
refuse host "launcher-stamp: OUTPUT ./launcher.exe is the same file as INPUT launcher.exe: write the stamped copy to another file" \
    launcher.exe ./launcher.exe
refuse windows "launcher-stamp: OUTPUT LAUNCHER.EXE is the same file as INPUT launcher.exe: write the stamped copy to another file" \
    launcher.exe LAUNCHER.EXE
cmp -s launcher.exe "$tree/launcher.exe" || fail "a refused OUTPUT equal to INPUT changed the file"

# A command line the tool does not understand: exit code 2 and the usage text.
usage='usage: launcher-stamp INPUT OUTPUT [--set-icon FILE.ico] [--set-file-version A.B.C.D]
                      [--set-product-version A.B.C.D] [--set-version-string NAME VALUE]...'
for tool in host windows; do
    for args in "launcher.exe|INPUT and OUTPUT are needed" \
                "launcher.exe out.exe --set-file-version 1.2.3.4.5|--set-file-version takes a version A.B.C.D of numbers from 0 to 65535, not \"1.2.3.4.5\"" \
                "launcher.exe out.exe --set-product-version 65536|--set-product-version takes a version A.B.C.D of numbers from 0 to 65535, not \"65536\"" \
                "launcher.exe out.exe --set-version-string Comments|--set-version-string needs a name and a value" \
                "launcher.exe out.exe --set-color red|unknown option --set-color"; do
        read -ra words <<< "${args%%|*}"
        $tool "${words[@]}" > ../logs/out 2> ../logs/err
        code=$?
        err=$(tr -d '\r' < ../logs/err)
        [ "$code" = 2 ] || fail "$tool ${args%%|*}: exit code $code"
        [ "$err" = "launcher-stamp: ${args#*|}
$usage" ] || fail "$tool ${args%%|*}: stderr
$err"
    done
    [ ! -e out.exe ] || fail "$tool: a wrong command line wrote out.exe"
    help=$($tool --help 2> ../logs/err | tr -d '\r')
    [ "$help" = "$usage" ] && [ ! -s ../logs/err ] || fail "$tool --help: $help"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
[ "$tools" = "$tree" ] || echo "stamp_check: $tools's launcher-stamp.exe and stamp_version_query.exe ran"
echo "stamp_check: all checks passed for $tree"
