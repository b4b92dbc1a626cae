#!/usr/bin/env bash
# The Windows build of the Qt-free core, checked here:
#   wine-check.sh build SOURCE_DIR BUILD_DIR   cross-build it with mingw-w64
#   wine-check.sh seed|console|lock|platform DRIVER
#                                              run CoreDriver's checks under wine64
#                                              (WINE64 names another wine64 to use)
# Each Wine check runs headless in a Wine prefix of its own in a temporary folder.
# Exit 77 (skipped, with the reason on stdout) when the cross compiler or Wine is
# missing or Wine cannot start; any other failure is a failure.
set -euo pipefail

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    exit 1
}

check=${1:?usage: wine-check.sh build|seed|console|lock|platform ...}

if [ "$check" = build ]; then
    source_dir=${2:?source dir}
    build_dir=${3:?build dir}
    command -v x86_64-w64-mingw32-g++ >/dev/null ||
        skip "x86_64-w64-mingw32-g++ not found (tools/setup.sh installs g++-mingw-w64-x86-64)"
    cmake -S "$source_dir/tools/windows" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/tools/windows/mingw-w64-x86_64.cmake"
    cmake --build "$build_dir"
    # Windows x64 aligns the stack to 16 bytes only: an aligned move of a 64-byte register
    # to or from a stack slot would fault on the vector path.
    seed_object=$(find "$build_dir" -name 'Seed.cpp.obj' | head -n 1)
    [ -n "$seed_object" ] || fail "no Seed.cpp.obj in $build_dir"
    if aligned=$(x86_64-w64-mingw32-objdump -d "$seed_object" |
        grep -E 'vmov(dqa(32|64)|ap[sd]) .*zmm.*\(%r[sb]p\)|vmov(dqa(32|64)|ap[sd]) .*\(%r[sb]p\).*zmm'); then
        fail "aligned 64-byte moves on the stack in the vector path: $aligned"
    fi
    echo "vector path: no aligned 64-byte moves on the stack"
    exit 0
fi

driver=${2:?driver program}
if [ ! -f "$driver" ]; then
    command -v x86_64-w64-mingw32-g++ >/dev/null ||
        skip "no driver to run: x86_64-w64-mingw32-g++ not found (tools/setup.sh installs it)"
    fail "$driver is missing: the cross build did not make it"
fi

wine=${WINE64:-$(command -v wine64 || true)}
if [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64 # Debian's wine64 without the wine wrapper package
fi
[ -n "$wine" ] || skip "wine64 not found (tools/setup.sh installs it)"
wineserver=$(command -v wineserver || echo "$(dirname "$(readlink -f "$wine")")/wineserver")

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
    # The server's socket folder is named after the prefix's device and inode, in a folder
    # of its own below /tmp: it goes with the prefix.
    if [ -d "$WINEPREFIX" ]; then
        local server dir
        server=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
        for dir in /tmp/wine-*/"$server" "/tmp/.wine-$(id -u)/$server"; do
            if [ -d "$dir" ]; then
                rm -rf "$dir"
                rmdir "$(dirname "$dir")" 2>/dev/null || true
            fi
        done
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' TERM INT # so that a timed-out check still stops its Wine processes

# The first start lays out the prefix; when that fails, nothing Windows-side can run.
if ! timeout 300 "$wine" wineboot --init >"$work/boot.log" 2>&1; then
    skip "Wine cannot start: '$wine wineboot --init' failed:" \
        "$(tail -n 3 "$work/boot.log" | tr '\n' ' ')"
fi
echo "$("$wine" --version | head -n 1), prefix $WINEPREFIX"

case $check in
seed)
    timeout 120 "$wine" "$driver" seed
    ;;

platform)
    # Started from another folder than its own.
    (cd "$work" && timeout 120 "$wine" "$(readlink -f "$driver")" platform)
    ;;

console)
    # With a console, its code page is set with chcp in Wine's cmd, which needs a
    # terminal: script(1) gives it one. Without a console (as for the GUI launcher) the
    # ANSI code page counts, which Wine takes from the locale. The driver's standard
    # output goes to a file, whose bytes must be the line in that code page.
    unix_driver=$(readlink -f "$driver")
    windows_driver="Z:${unix_driver//\//\\}"
    line="buffer 파일을 여는데 실패하였습니다."
    failures=0
    for row in "console-949 CP949" "console-65001 UTF-8" "ansi-949 CP949"; do
        read -r name encoding <<<"$row"
        printf '%s' "$line" | iconv -f UTF-8 -t "$encoding" >"$work/expected-$name"
        case $name in
        console-*)
            (cd "$work" && timeout 120 script -qec \
                "'$wine' cmd /c 'chcp ${name#console-} >nul & $windows_driver print-failure > printed-$name'" \
                /dev/null </dev/null >/dev/null) || true # the bytes decide
            ;;
        ansi-949)
            LC_ALL=ko_KR.UTF-8 timeout 120 "$wine" "$driver" print-failure \
                </dev/null >"$work/printed-$name" || true
            ;;
        esac
        if cmp "$work/expected-$name" "$work/printed-$name"; then
            echo "PASS $name: $(od -An -tx1 "$work/printed-$name" | tr -d '\n')"
        else
            echo "FAIL $name: got $(od -An -tx1 "$work/printed-$name" | tr -d '\n')"
            echo "  expected $(od -An -tx1 "$work/expected-$name" | tr -d '\n')"
            failures=$((failures + 1))
        fi
    done
    [ "$failures" -eq 0 ]
    ;;

lock)
    # The first process holds the lock until its standard input (a fifo) is closed.
    mkfifo "$work/hold"
    "$wine" "$driver" lock hold <"$work/hold" >"$work/first" 2>&1 &
    first=$!
    exec 3>"$work/hold"
    for _ in $(seq 600); do
        grep -q . "$work/first" && break
        sleep 0.1
    done
    grep -q '^held' "$work/first" || fail "first copy: $(cat "$work/first")"
    echo "first copy: held"

    second=$("$wine" "$driver" lock try 2>&1) && fail "second copy got the lock: $second"
    [[ $second == taken* ]] || fail "second copy: $second"
    kill -0 "$first" 2>/dev/null || fail "first copy ended before it was released"
    echo "second copy: taken, first still running"

    exec 3>&-
    wait "$first" || fail "first copy exited with $?"
    third=$("$wine" "$driver" lock try 2>&1) || fail "third copy after the first ended: $third"
    [[ $third == held* ]] || fail "third copy: $third"
    echo "third copy after the first ended: held"
    ;;

*)
    fail "unknown check $check"
    ;;
esac
