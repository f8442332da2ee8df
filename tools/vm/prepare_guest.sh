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

# The folder in CACHE with the kernel of Debian's current kernel package and
# its modules, fetched and unpacked unless it is there already.
fetch_kernel() {
  local attempt package version folder
  for attempt in 1 2; do
    # The second time with fresh package lists: the first found no
    # package, or a version the mirror no longer has.
    ((attempt == 1)) || apt-get update -qq >/dev/null 2>&1 || true
    package=$(kernel_package)
    [[ -n $package ]] || continue
    version=$(apt-cache policy "$package" | awk '/Candidate:/ {print $2}')
    folder="$cache/$package-$version"
    if [[ -e $folder/ready ]] || unpack_kernel "$package" "$version" "$folder" >&2; then
      # Older kernels are of no more use.
      find "$cache" -mindepth 1 -maxdepth 1 -type d -name 'linux-image-*' ! -path "$folder" -exec rm -rf {} +
      echo "$folder"
      return 0
    fi
  done
  return 1
}

unpack_kernel() { # PACKAGE VERSION FOLDER
  local unpacked status=0
  rm -rf "$3" && mkdir -p "$3"
  unpacked=$(mktemp -d "$cache/unpack.XXXXXX")
  # In a subshell, so that the unpacked tree goes whatever happens.
  (
    cd "$unpacked" &&
      apt-get download -qq -o APT::Sandbox::User=root "$1=$2" &&
      dpkg-deb -x ./*.deb root &&
      release=$(ls root/lib/modules) &&
      cp "root/boot/vmlinuz-$release" "$3/vmlinuz" &&
      pick_modules "root/lib/modules/$release" "$3"
  ) || status=1
  rm -rf "$unpacked"
  ((status == 0)) && : >"$3/ready"
  ((status == 0)) || rm -rf "$3"
  return $status
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
      load "$dependency" || return 1
    done
    cp "${path[$module]}" "$folder/modules/"
    echo "${path[$module]##*/}" >>"$folder/modules.list"
  }
  for name in "${wanted[@]}"; do
    load "$name" || return 1
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
