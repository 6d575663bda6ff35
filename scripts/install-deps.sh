#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: packages already present are left alone; apt-get update runs
# only when something is missing.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache
  # tests
  libgtest-dev libgmock-dev
  # PDF parsing and rendering (adapter library), with MuPDF's own deps
  libmupdf-dev libmujs-dev libgumbo-dev libjbig2dec0-dev libopenjp2-7-dev
  libharfbuzz-dev libfreetype-dev
  # image codecs used by the engine
  libjpeg62-turbo-dev zlib1g-dev libpng-dev libtiff-dev libgif-dev
  # XML, zip, PDF writing, crypto, network
  libxerces-c-dev libzip-dev libpodofo-dev libssl-dev libcurl4-openssl-dev
  # character recognition
  libtesseract-dev libleptonica-dev tesseract-ocr-eng tesseract-ocr
  # desktop program (X11 and Wayland)
  qt6-base-dev qt6-wayland fonts-dejavu-core
  # a virtual X display: screenshots of the window controls, and the
  # program's start-up test (xdotool finds its window, import shoots it)
  xvfb xauth xdotool imagemagick
  # test oracles
  qpdf poppler-utils mupdf-tools python3-reportlab unzip zip libxml2-utils
  # the CMaps pdftotext needs for text in CID fonts (our PDF writer's
  # UniGB-UCS2-H fonts); a recommendation of poppler-utils, not a dependency
  poppler-data
  epubcheck default-jre-headless
  # pictures for the to-PDF tests and their benchmark against img2pdf
  imagemagick python3-pil img2pdf
  # fonts for the non-Latin text fixtures (CJK)
  fonts-wqy-zenhei
  # the standard 14 fonts as poppler substitutes them: the same Nimbus faces
  # MuPDF builds in, so renderings of non-embedded fonts can be compared
  fonts-urw-base35
  # the HTML viewer's browser test: headless Chromium driven from Node
  chromium nodejs
  # Word 2007 output: LibreOffice opens the documents (driven through UNO),
  # msoffcrypto-tool decrypts password-protected ones; Calc and Impress make
  # the workbook and presentation fixtures of the Office-to-PDF tests
  libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui python3-uno python3-msoffcrypto-tool
  # Word 97-2003 files: independent readers of compound files and documents
  python3-olefile libgsf-bin antiword wv
  # SWF files: an independent reader of the rewritten viewer files
  python3-yaswfp
  # fuzzing: clang with libFuzzer
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# Some builds of nodejs carry npm themselves (and conflict with Debian's npm
# package): Debian's npm is installed only when no npm is on the path.
if ! command -v npm >/dev/null 2>&1; then
  missing+=(npm)
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
