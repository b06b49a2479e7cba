#!/usr/bin/env bash
# A user without sudo (a Debian installed with a root password) is told which packages are missing
# and the one command to run as root, and nothing is attempted.
set -u
cd "$(dirname "$0")/../.."
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
# A PATH with what scripts/deps uses and no sudo.
for tool in bash dpkg-query grep id; do ln -s "$(command -v $tool)" "$bin/$tool"; done
chmod 755 "$bin"
check='. scripts/deps; velra_install_deps velra-no-such-package'
if [ "$(id -u)" -eq 0 ]; then
    if ! setpriv --reuid=4242 --regid=4242 --clear-groups test -r scripts/deps; then
        echo "skipped: another user cannot read scripts/deps in this folder"
        exit 0
    fi
    out=$(setpriv --reuid=4242 --regid=4242 --clear-groups env PATH="$bin" bash -c "$check" 2>&1)
else
    out=$(env PATH="$bin" bash -c "$check" 2>&1)
fi
rc=$?
echo "$out"
[ $rc -eq 1 ] || { echo "exit $rc, expected 1"; exit 1; }
grep -q '^Missing Debian packages: velra-no-such-package$' <<<"$out" || exit 1
grep -q 'apt-get install -y --no-install-recommends velra-no-such-package' <<<"$out" || exit 1
! grep -qi 'command not found' <<<"$out"
