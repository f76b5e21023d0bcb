#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those missing. Quick to
# run again: with everything present it only asks dpkg.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64 # the Windows build
  wine64 xvfb xauth xdotool imagemagick # running and looking at it
  libpng-dev zlib1g-dev # the native build
  clang libclang-rt-14-dev # fuzzing
  googletest libgtest-dev # tests in both builds
  locales # the locales Wine runs in
  nsis # the installer
  ninja-build cmake dpkg-dev time python3
)

# One dpkg-query for all of them; a package dpkg has never heard of is missing.
installed="$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
  awk '$NF == "installed" && $(NF - 2) == "install" { print $1 }' || true)"
missing=()
for package in "${packages[@]}"; do
  if ! grep -qxF "$package" <<<"$installed"; then
    missing+=("$package")
  fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || {
    echo "install-deps: run as root, or install sudo, to install ${missing[*]}" >&2
    exit 1
  }
  sudo=(sudo)
fi
apt_get() {
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=600 \
    -o Acquire::Retries=3 -o Dpkg::Options::=--force-confold "$@" </dev/null
}
apt_get update
apt_get install "${missing[@]}"
