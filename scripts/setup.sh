#!/usr/bin/env bash
# Installs, idempotently, every Debian package Barvik needs to build, test, benchmark and
# render its window and report off screen, and to make and check its Debian package
# (dpkg-shlibdeps from dpkg-dev, and file, for cpack; man-db for `man -l`), and the servers
# the remote-log tests start on 127.0.0.1 (pyftpdlib with pyOpenSSL for FTP and FTPS, sshd for
# SFTP, RangeHTTPServer; openssl makes their certificate), and the time-zone library with the
# zone data it reads (the games' dates). Safe to run again: installed
# packages are skipped.
set -euo pipefail

packages=(
  cmake make g++ clang git pkg-config
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev
  libpng-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core fonts-liberation
  nlohmann-json3-dev libtomlplusplus-dev chromium
  libhowardhinnant-date-dev tzdata
  dpkg-dev file man-db
  libcurl4-openssl-dev libssl-dev ca-certificates
  python3 python3-pyftpdlib python3-openssl python3-rangehttpserver
  openssh-server openssh-client openssl
)
# The browser tests run on Node.js with npm; a Node.js installed outside Debian's packages is
# used as it is.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q >&2
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi
