#!/usr/bin/env bash
# Tries the README as a new user would: builds a fresh Debian bookworm root with debootstrap
# (minbase, as root, LANG unset, git added to clone), clones this repository's HEAD into it,
# runs the README's commands there and prints what passed. Needs root and takes a long time.
# Usage: sudo bash scripts/fresh-check.sh [work-dir]   (default build/fresh)
set -uo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
work="$(realpath -m "${1:-build/fresh}")"
root="$work/root"
mirror="${FRESH_MIRROR:-http://deb.debian.org/debian}"
# The commit tried, fixed now: later commits in this checkout do not change the run.
commit="$(git rev-parse HEAD)"

if [ "$(id -u)" -ne 0 ]; then
    echo "fresh-check needs root (debootstrap and chroot): run it with sudo." >&2
    exit 2
fi
command -v debootstrap >/dev/null || {
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
} || exit 2

mounted() { findmnt -rn -o TARGET | grep -q "^$root\(/\|$\)"; }
unmount_all() {
    local target
    for target in $(findmnt -rn -o TARGET | grep "^$root\(/\|$\)" | sort -r); do
        umount -l "$target" 2>/dev/null || true
    done
}
trap unmount_all EXIT

unmount_all
if mounted; then
    echo "Something is still mounted under $root; not removing it." >&2
    exit 2
fi
rm -rf "$root"
mkdir -p "$work/debs"

results=()
failed=0
step() {
    local name="$1"
    shift
    local start=$SECONDS log="$work/$(echo "$name" | tr -c 'a-zA-Z0-9\n' '-').log"
    echo "== $name (log: $log)"
    if "$@" >"$log" 2>&1; then
        results+=("PASS  $name ($((SECONDS - start)) s)")
    else
        results+=("FAIL  $name ($((SECONDS - start)) s), last lines of $log:")
        while IFS= read -r line; do results+=("        $line"); done < <(tail -n 15 "$log")
        failed=1
    fi
    echo "${results[-1]}"
}
report() {
    echo
    echo "Fresh-root check of ${commit:0:7} ($(git -C "$repo" log -1 --format=%s "$commit")):"
    printf '%s\n' "${results[@]}"
    exit $failed
}

# Downloaded packages are kept between runs; every run unpacks and installs them afresh.
tarball="$work/debs/bookworm-minbase.tgz"
bootstrap() {
    if [ ! -f "$tarball" ]; then
        debootstrap --variant=minbase --include=git --make-tarball="$tarball" bookworm \
            "$work/tarball-tmp" "$mirror" || return 1
        rm -rf "$work/tarball-tmp"
    fi
    debootstrap --variant=minbase --include=git --unpack-tarball="$tarball" bookworm "$root" \
        "$mirror"
}
step "debootstrap bookworm minbase with git" bootstrap || true
[ $failed -eq 0 ] || report

# What Wine and Xvfb need from the kernel, and a resolver for apt.
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
# Private, so the mounts on top of it never reach the machine's own /dev.
mount --bind /dev "$root/dev"
mount --make-private "$root/dev"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mount -t tmpfs tmpfs "$root/dev/shm"
mkdir -p "$work/debs/apt" "$root/var/cache/apt/archives"
mount --bind "$work/debs/apt" "$root/var/cache/apt/archives"
mount --make-private "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"

# The clone's source: a bare copy of HEAD, where the new user's git can reach it.
rm -rf "$root/srv/stenvault.git"
branch="$(git -C "$repo" branch --show-current)"
git clone -q --bare --no-local ${branch:+--branch "$branch"} "$repo" "$root/srv/stenvault.git"
git -C "$root/srv/stenvault.git" update-ref "$(git -C "$root/srv/stenvault.git" symbolic-ref HEAD)" "$commit"

in_root() {
    env -i HOME=/root TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        chroot "$root" /bin/bash -c "$1"
}
step "git clone" in_root 'cd /root && git clone /srv/stenvault.git stenvault'
[ $failed -eq 0 ] || report
step "bash scripts/demo.sh" in_root 'cd /root/stenvault && bash scripts/demo.sh'
step "demo screenshot under build/" in_root 'test -s /root/stenvault/build/demo/screenshot.png'
step "bash scripts/test.sh" in_root 'cd /root/stenvault && bash scripts/test.sh'
step "bash scripts/package.sh" in_root 'cd /root/stenvault && bash scripts/package.sh && ls -l build/dist'
step "checkout left unmodified" in_root \
    'cd /root/stenvault && git status --porcelain | tee /dev/stderr | (! grep -q .)'
report
