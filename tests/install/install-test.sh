#!/bin/bash
# "cmake --install" into a staging folder (DESTDIR) with the usual /usr prefix:
# every program, the private library, the icon, the desktop entry and the manual
# land in their places, and the installed programs start (they find the
# library relative to themselves, not through the build folder).
#   install-test.sh BUILD_DIR
set -u
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
failures=0
check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

out=$(DESTDIR=$dest cmake --install "$build" --prefix /usr 2>&1)
rc=$?
check "cmake --install succeeds" [ $rc -eq 0 ]
[ $rc -eq 0 ] || echo "$out"
root=$dest/usr

for p in qd qdctl qdmsg qd_dbase klvback killproc qdftp httpget; do
    check "program $p in bin" [ -x "$root/bin/$p" ]
    # Run apart from the build: the loader must not need the build folder.
    missing=$(env -u LD_LIBRARY_PATH ldd "$root/bin/$p" 2>&1 | grep "not found")
    check "$p finds every library it needs" [ -z "$missing" ]
    check "$p does not look in the build folder" \
        bash -c "! readelf -d '$root/bin/$p' | grep -E 'R(UN)?PATH' | grep -q '$(cd "$build" && pwd)'"
done
check "the shared library in lib/.../quandrel" bash -c "ls '$root'/lib*/quandrel/libqd_files.so* >/dev/null 2>&1 || ls '$root'/lib/*/quandrel/libqd_files.so* >/dev/null 2>&1"
check "the application icon" [ -f "$root/share/icons/hicolor/scalable/apps/quandrel.svg" ]
desktop=$root/share/applications/quandrel.desktop
check "the desktop entry" [ -f "$desktop" ]
check "which starts qd with the icon" bash -c "grep -qx 'Exec=qd' '$desktop' && grep -qx 'Icon=quandrel' '$desktop'"
if command -v desktop-file-validate >/dev/null; then
    check "the desktop entry is valid" desktop-file-validate "$desktop"
fi
check "the manual in share/doc/quandrel" [ -f "$root/share/doc/quandrel/manual.md" ]
check "the installed qd runs" bash -c "'$root/bin/qd' --version | grep -q 2.04"
check "the installed qdctl runs" bash -c "'$root/bin/qdctl' --help | grep -q usage"

[ $failures -eq 0 ] || exit 1
echo "all install checks passed"
