#!/usr/bin/env bash
# Real-kernel HID test: boots Debian's kernel under qemu (KVM when /dev/kvm
# opens, software emulation otherwise) with a small initramfs that holds
# busybox, the HID modules, our firmware emulator (which presents keyboards
# through /dev/uhid) and quillan-cli with its hidapi backend, runs the
# scenarios of guest_init.sh in the guest and prints one line per scenario
# and "N passed, N failed". For the WebHID scenarios the host's root is
# shared read-only with the guest (virtio-9p), which runs the host's
# Chromium against the browser site (web/dist, built by
# scripts/build-web.sh) served in the guest.
#
# Environment:
#   QUILLAN_BUILD_DIR     build tree with cli/quillan-cli (default: build/ when
#                         configured, else build-kernel/, configured here)
#   QUILLAN_KERNEL_CACHE  where the kernel package is kept
#                         (default: ${XDG_CACHE_HOME:-~/.cache}/quillan-kernel)
#   QUILLAN_KERNEL_ONLY   space-separated scenario names to run (default: all)
#   QUILLAN_KERNEL_WEBHID 0: leave out the WebHID scenarios (Chromium in the
#                         guest), which run with the others by default
#   QUILLAN_VM_TIMEOUT    seconds the guest may run (default 720, 3000 with WebHID)
#   QUILLAN_KERNEL_VERBOSE  when set, the guest shows the logs of passing scenarios too
#   QUILLAN_KERNEL_EXTRA  further programs to put into the guest's /bin
#   QUILLAN_WEBHID_SITE   folder of the site the WebHID scenarios drive (default:
#                         web/dist)
#   QUILLAN_VM_CPUS, QUILLAN_VM_MEMORY  the guest's processors and memory (MiB)
#   QUILLAN_VM_ACCEL      kvm or tcg (default: kvm where the host can run it)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
cache="${QUILLAN_KERNEL_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/quillan-kernel}"
only="${QUILLAN_KERNEL_ONLY:-}"
# The WebHID scenarios (Chromium in the guest) run with the others unless
# QUILLAN_KERNEL_WEBHID=0, and alone when QUILLAN_KERNEL_ONLY names them.
webhid=0
if echo " $only " | grep -q ' webhid-' ||
    { [ -z "$only" ] && [ "${QUILLAN_KERNEL_WEBHID:-1}" != 0 ]; }; then
    webhid=1
fi
# The WebHID scenarios took 9 to 17 minutes on a 2-core host shared with
# other builds (tests/kernel/webhid.md); they get 38 minutes, which still
# leaves CI (90 minutes) time to report.
vm_timeout="${QUILLAN_VM_TIMEOUT:-$((720 + webhid * 2280))}"
# The browser run that programs may take what is left once the other
# scenarios are done, so that a stuck page ends in its scenario's FAIL line
# rather than the guest's.
webhid_timeout=$((vm_timeout > 1500 ? vm_timeout - 900 : vm_timeout / 2))

say() { echo "kernel-test: $*" >&2; }
die() {
    say "$*"
    echo "FAIL setup: $*"
    echo "0 passed, 1 failed"
    exit 1
}

# --- host packages ------------------------------------------------------------
apt_updated=0
apt_update_once() {
    if [ "$apt_updated" = 0 ]; then
        apt-get update -qq
        apt_updated=1
    fi
}

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        say "installing ${missing[*]}"
        apt_update_once
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
    fi
}

install_missing qemu-system-x86 busybox-static cpio
if [ "$webhid" = 1 ]; then install_missing chromium python3; fi

# --- kernel -------------------------------------------------------------------
# The kernel image package that linux-image-amd64 depends on, fetched (not
# installed) and unpacked into the cache.
kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ { print $2; exit }'
}
pkg="$(kernel_package)"
if [ -z "$pkg" ]; then
    apt_update_once
    pkg="$(kernel_package)"
fi
[ -n "$pkg" ] || die "apt knows no kernel package behind linux-image-amd64"
kdir="$cache/$pkg"
if [ ! -f "$kdir/.unpacked" ]; then
    say "fetching $pkg"
    rm -rf "$kdir"
    mkdir -p "$kdir/deb"
    (cd "$kdir/deb" && apt-get download -q -o APT::Sandbox::User=root "$pkg" >/dev/null) ||
        die "apt-get download $pkg failed"
    dpkg-deb -x "$kdir"/deb/*.deb "$kdir/tree"
    rm -rf "$kdir/deb"
    touch "$kdir/.unpacked"
fi
vmlinuz="$(find "$kdir/tree/boot" -name 'vmlinuz-*' -print -quit 2>/dev/null)"
[ -n "$vmlinuz" ] || die "$pkg holds no kernel image"
moddir="$(find "$kdir/tree/lib/modules" -mindepth 1 -maxdepth 1 -type d -print -quit 2>/dev/null)/"
[ "$moddir" != / ] || die "$pkg holds no modules"

# --- build --------------------------------------------------------------------
build="${QUILLAN_BUILD_DIR:-}"
if [ -z "$build" ]; then
    if [ -f "$root/build/CMakeCache.txt" ]; then build="$root/build"; else build="$root/build-kernel"; fi
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    say "configuring $build"
    cmake -S "$root" -B "$build" -DQUILLAN_BUILD_GUI=OFF -DQUILLAN_BUILD_BENCH=OFF \
        -DQUILLAN_WERROR=ON >/dev/null
fi
cmake --build "$build" -j 2 --target quillan-cli quillan-uhid-emulator quillan-kernel-definition \
    >/dev/null || die "building quillan-cli and the test programs in $build failed"
cli="$build/cli/quillan-cli"
emulator="$build/tests/kernel/quillan-uhid-emulator"
definition_tool="$build/tests/kernel/quillan-kernel-definition"

# --- initramfs ----------------------------------------------------------------
work="$root/build-kernel/vm"
rootfs="$work/rootfs"
rm -rf "$rootfs"
mkdir -p "$rootfs"/{bin,lib/modules,proc,sys,dev,tmp,data}

copy_binary() { # source, destination inside the rootfs
    strip --strip-unneeded -o "$rootfs/$2" "$1" 2>/dev/null || cp "$1" "$rootfs/$2"
}
# The shared libraries ldd names (and the dynamic loader), at the same paths.
copy_libraries() {
    local lib
    for lib in $(ldd "$1" 2>/dev/null | awk '/=> \// { print $3 } /^\t\// { print $1 }'); do
        if [ ! -e "$rootfs$lib" ]; then
            mkdir -p "$rootfs$(dirname "$lib")"
            cp -L "$lib" "$rootfs$lib"
        fi
    done
}

cp /bin/busybox "$rootfs/bin/busybox"
copy_binary "$cli" bin/quillan-cli
copy_binary "$emulator" bin/quillan-uhid-emulator
copy_libraries "$cli"
copy_libraries "$emulator"
copy_binary "$definition_tool" bin/quillan-kernel-definition
copy_libraries "$definition_tool"
for extra in ${QUILLAN_KERNEL_EXTRA:-}; do # further programs, for looking into a failure
    copy_binary "$extra" "bin/$(basename "$extra")"
    copy_libraries "$extra"
done

# Modules with what they depend on, dependencies first, decompressed so that
# busybox insmod can load them whatever the kernel's decompression support.
module_file() { # name -> path of the module file in the package
    local base="${1//_/-}" alt="${1//-/_}"
    find "$moddir" \( -name "$base.ko" -o -name "$base.ko.*" -o -name "$alt.ko" -o \
        -name "$alt.ko.*" \) -print -quit
}
module_depends() { # name -> names it depends on
    local file dep
    file="$(module_file "$1")"
    if [ -f "$moddir/modules.dep" ]; then
        dep="$(awk -v m="${file#"$moddir"}" -F: '$1 == m { print $2; exit }' \
            "$moddir/modules.dep")"
        for dep in $dep; do basename "$dep" | sed 's/\.ko.*//'; done
    else
        unpack_module "$file" | grep -a -o 'depends=[^[:cntrl:]]*' | head -n 1 |
            sed 's/^depends=//' | tr ',' '\n' | sed '/^$/d'
    fi
}
unpack_module() {
    case "$1" in
    *.ko.xz) xz -dc "$1" 2>/dev/null || busybox xz -dc "$1" ;;
    *.ko.zst) zstd -dcq "$1" ;;
    *.ko.gz) gzip -dc "$1" ;;
    *) cat "$1" ;;
    esac
}
load_order=()
add_module() {
    local name="$1" dep known
    for known in "${load_order[@]:-}"; do [ "$known" = "$name" ] && return 0; done
    [ -n "$(module_file "$name")" ] || die "module $name is not in $pkg"
    for dep in $(module_depends "$name"); do add_module "$dep"; done
    unpack_module "$(module_file "$name")" >"$rootfs/lib/modules/$name.ko"
    load_order+=("$name")
}
for m in hid hid-generic uhid; do add_module "$m"; done
if [ "$webhid" = 1 ]; then # the host's files over virtio-9p
    for m in virtio_pci 9pnet_virtio 9p; do add_module "$m"; done
fi
printf '%s\n' "${load_order[@]}" >"$rootfs/lib/modules/load-order"

cp "$here/guest_init.sh" "$rootfs/init"
chmod 755 "$rootfs/init"
# Without the WebHID scenarios the guest has no Chromium and skips them.
if [ "$webhid" = 1 ]; then cp "$here/guest_webhid.sh" "$rootfs/lib/webhid.sh"; fi
if [ -f "$root/examples/example.dat" ]; then cp "$root/examples/example.dat" "$rootfs/data/"; fi
echo "$only" >"$rootfs/data/only"
echo "${QUILLAN_KERNEL_VERBOSE:-}" >"$rootfs/data/verbose"
echo "$here" >"$rootfs/data/kernel-dir"
site="${QUILLAN_WEBHID_SITE:-$root/web/dist}"
[ "$webhid" = 0 ] || [ -f "$site/index.html" ] ||
    die "no site in $site: build it with scripts/build-web.sh (or QUILLAN_KERNEL_WEBHID=0)"
site="$(cd "$site" 2>/dev/null && pwd || echo "$site")"
echo "$site" >"$rootfs/data/webhid-site"
echo "$webhid_timeout" >"$rootfs/data/webhid-timeout"

(cd "$rootfs" && find . | cpio -o -H newc --quiet) | gzip -1 >"$work/initrd.gz"

# --- boot ---------------------------------------------------------------------
log="$work/console.log"
# KVM where the host's processor virtualises (an Intel or AMD KVM module; a
# paravirtual KVM such as kvm_pvm runs only guests built for it).
accel_mode="${QUILLAN_VM_ACCEL:-}"
if [ -z "$accel_mode" ]; then
    accel_mode=tcg
    if { [ -d /sys/module/kvm_intel ] || [ -d /sys/module/kvm_amd ]; } &&
        (exec 3<>/dev/kvm) 2>/dev/null; then
        accel_mode=kvm
    fi
fi
append="console=ttyS0 quiet loglevel=3 panic=-1 rdinit=/init"
if [ "$accel_mode" = kvm ]; then
    accel=(-accel kvm -cpu host)
    cpus=2
else
    # One host thread per guest processor. The guest reads the time stamp
    # counter for the clock: without tsc=reliable the kernel may take the
    # emulated HPET instead, and every clock read (the browser makes very
    # many) becomes an emulated device access.
    # A processor of a real model: on the emulator's default one (no SSSE3,
    # SSE4 or POPCNT) the browser's renderer crashed in about half the runs.
    # Without address randomisation the browser's processes map its code
    # at the same addresses, so translated code is found again instead of
    # translated once more for each process.
    accel=(-accel "tcg,thread=multi" -cpu Nehalem)
    append="$append tsc=reliable norandmaps"
    cpus=$((webhid + 1)) # the browser's processes need the second one
fi
memory=512
share=()
if [ "$webhid" = 1 ]; then
    memory=2048
    share=(-virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap")
fi
say "booting $(basename "$vmlinuz") under qemu ${accel[1]} (log: $log)"
start=$(date +%s)
set +e
timeout --kill-after=10 "$vm_timeout" qemu-system-x86_64 -nographic -no-reboot "${accel[@]}" \
    -m "${QUILLAN_VM_MEMORY:-$memory}" -smp "${QUILLAN_VM_CPUS:-$cpus}" "${share[@]}" \
    -kernel "$vmlinuz" -initrd "$work/initrd.gz" \
    -append "$append" \
    </dev/null >"$log" 2>&1 &
qemu=$!
# Scenario results as they come.
tail -n +1 -f --pid=$qemu "$log" 2>/dev/null | tr -d '\r' | grep --line-buffered -E '^(PASS|FAIL) '
wait $qemu
status=$?
set -e
elapsed=$(($(date +%s) - start))

results="$(tr -d '\r' <"$log" | grep -E '^(PASS|FAIL) ' || true)"
passed=$(printf '%s\n' "$results" | grep -c '^PASS ' || true)
failed=$(printf '%s\n' "$results" | grep -c '^FAIL ' || true)
if ! tr -d '\r' <"$log" | grep -q '^quillan-kernel-test: done'; then
    if [ "$status" = 124 ] || [ "$status" = 137 ]; then
        echo "FAIL guest: did not finish within ${vm_timeout}s"
    else
        echo "FAIL guest: stopped before the end (qemu exit $status)"
    fi
    failed=$((failed + 1))
    say "last lines of the console:"
    tail -n 40 "$log" | tr -d '\r' >&2
fi
say "guest ran ${elapsed}s"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
