#!/usr/bin/env bash
# Prepares the guest of tools/vm_test.sh: Debian's own kernel package, fetched
# with apt-get download and unpacked (never installed), the few modules the
# tests need, and an initramfs of busybox, those modules and tools/vm/init.
#
#   tools/vm/prepare_guest.sh CACHE OUT
#
# The kernel and its modules are kept in CACHE, one folder per package, so a
# run downloads nothing once the package is there (and falls back to the
# newest cached kernel when the package cannot be fetched). OUT receives
# vmlinuz and initramfs.gz.
set -euo pipefail
cache=$1
out=$2
here="$(cd "$(dirname "$0")" && pwd)"

# What the guest loads: the FTDI driver (with usbserial and usbcore), the
# xHCI controller, and 9p over virtio for the host's root. The 8250 UART
# driver is built into Debian's kernel.
wanted=(xhci-pci ftdi_sio virtio_pci 9pnet_virtio 9p)

kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}'
}

fetch_kernel() {
    local package version folder unpacked
    package=$(kernel_package)
    if [[ -z $package ]]; then
        apt-get update -qq >/dev/null 2>&1 || true
        package=$(kernel_package)
    fi
    [[ -n $package ]] || return 1
    version=$(apt-cache policy "$package" | awk '/Candidate:/ {print $2}')
    folder="$cache/$package-$version"
    if [[ -e $folder/ready ]]; then
        echo "$folder"
        return 0
    fi
    rm -rf "$folder" && mkdir -p "$folder"
    unpacked=$(mktemp -d "$cache/unpack.XXXXXX")
    # Run in a subshell so the temporary tree goes whatever happens.
    if ! (
        cd "$unpacked"
        apt-get download -qq "$package=$version" 2>/dev/null || apt-get download -qq "$package=$version"
        dpkg-deb -x ./*.deb root
        release=$(ls root/lib/modules)
        cp root/boot/vmlinuz-"$release" "$folder/vmlinuz"
        pick_modules "root/lib/modules/$release" "$folder"
    ) >&2; then
        rm -rf "$unpacked" "$folder"
        return 1
    fi
    rm -rf "$unpacked"
    : >"$folder/ready"
    # Older kernels are of no more use.
    find "$cache" -mindepth 1 -maxdepth 1 -type d -name 'linux-image-*' ! -path "$folder" -exec rm -rf {} +
    echo "$folder"
}

# Copies the wanted modules and those they depend on into FOLDER/modules,
# listing them in FOLDER/modules.list in an order insmod can follow. The
# dependencies come from each module's own .modinfo (no depmod here).
pick_modules() {
    local tree=$1 folder=$2
    declare -A path loaded
    local file name
    while IFS= read -r file; do
        name=${file##*/}
        name=${name%.ko}
        path[$name]=$file
        path[${name//-/_}]=$file
    done < <(find "$tree/kernel" -name '*.ko')
    mkdir -p "$folder/modules"
    : >"$folder/modules.list"
    load() {
        local module=$1 dependency depends
        [[ -z ${loaded[$module]:-} ]] || return 0
        if [[ -z ${path[$module]:-} ]]; then
            grep -q "/$module.ko\$" "$tree/modules.builtin" && return 0
            echo "prepare_guest: module $module not found" >&2
            return 1
        fi
        loaded[$module]=1
        depends=$(tr '\0' '\n' <"${path[$module]}" | sed -n 's/^depends=//p' | head -1)
        for dependency in ${depends//,/ }; do
            load "$dependency"
        done
        cp "${path[$module]}" "$folder/modules/"
        echo "${path[$module]##*/}" >>"$folder/modules.list"
    }
    for name in "${wanted[@]}"; do
        load "$name"
    done
}

mkdir -p "$cache" "$out"
if ! kernel=$(fetch_kernel); then
    kernel=$(find "$cache" -mindepth 2 -maxdepth 2 -name ready -printf '%T@ %h\n' 2>/dev/null | sort -n | tail -1 | cut -d' ' -f2-)
    [[ -n $kernel ]] || { echo "prepare_guest: no kernel package could be fetched" >&2; exit 1; }
    echo "prepare_guest: kernel package not fetched; using $kernel" >&2
fi

root=$(mktemp -d "$out/initramfs.XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{bin,dev,proc,sys,lib/modules}
cp /bin/busybox "$root/bin/busybox"
cp "$here/init" "$root/init"
chmod 755 "$root/init"
cp "$kernel"/modules/*.ko "$root/lib/modules/"
cp "$kernel/modules.list" "$root/modules.list"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$out/initramfs.gz"
cp "$kernel/vmlinuz" "$out/vmlinuz"
