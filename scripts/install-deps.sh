#!/usr/bin/env bash
# Installs every Debian package ScanBridge needs to build, run, test and
# benchmark. Idempotent: packages already present are left alone, and the
# package index is refreshed only when something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache clang-format git
  # Clang: the sanitized test build, its lock-annotation check, ThreadSanitizer
  # and the fuzz targets (scripts/fuzz.sh) with its libFuzzer runtime
  clang libclang-rt-dev
  # image formats and documents
  libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev libqpdf-dev
  libpoppler-cpp-dev libzip-dev libxml2-dev
  # OCR, fonts and text rendering
  libtesseract-dev libleptonica-dev tesseract-ocr tesseract-ocr-osd
  tesseract-ocr-eng tesseract-ocr-chi-sim libfreetype-dev libfontconfig-dev
  fontconfig fonts-noto-cjk fonts-dejavu-core
  # scanners: the SANE library, its headers and scanimage (tests compare with it)
  libsane1 libsane-dev sane-utils
  # storage, transfer, JSON
  libsqlite3-dev sqlite3 libcurl4-openssl-dev libcjson-dev
  # tests and benchmarks
  libboost-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  poppler-utils libtiff-tools unzip python3 python3-pyftpdlib img2pdf
  procps chromium
  # packaging: CPack's Debian generator (dpkg-shlibdeps, file), unit checks
  dpkg-dev file systemd
  # the JavaScript client's tests (npm comes with it or separately, below)
  nodejs
)

# Network scanners (eSCL/WSD) through sane-airscan, where the release has it.
if apt-cache show sane-airscan >/dev/null 2>&1; then
  packages+=(sane-airscan)
fi

missing=()
for pkg in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done

# Debian packages npm apart from nodejs; other builds of nodejs bring it along.
if ! command -v npm >/dev/null; then
  status=$(dpkg-query -W -f='${Status}' npm 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=(npm)
fi

if ((${#missing[@]} == 0)); then
  echo "install-deps: all packages present"
  exit 0
fi

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
  as_root=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
