#!/usr/bin/env bash
# release.sh [DIR]: builds every release file into DIR (default dist/): for
# amd64, arm64 and armhf a .deb and a static .tar.gz, and the Windows ZIP,
# then SHA256SUMS beside them. A target whose compiler is missing is
# skipped, and said so; under CI it fails. DIR may hold other files: only
# the files of the same names are replaced, once everything is built.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
dist=$(realpath -m "${1:-dist}")
travail=$(mktemp -d)
trap 'rm -rf "$travail"' EXIT
mkdir "$travail/sortie"

# build NAME TOOLCHAIN [OPTION...]: one configuration, its packages set aside.
build() {
  local nom=$1 chaine=$2
  shift 2
  cmake -S "$src" -B "$travail/$nom" ${chaine:+-DCMAKE_TOOLCHAIN_FILE="$src/cmake/$chaine.cmake"} \
    -DCMAKE_BUILD_TYPE=Release -DG4_TESTS=OFF -DG4_WERROR=ON "$@" >/dev/null
  cmake --build "$travail/$nom" -j2 >/dev/null
  # CPack's Debian generator says on stderr that dpkg-shlibdeps runs, with
  # no way to turn it off; anything else it says there gets through.
  (cd "$travail/$nom" && cpack -B "$travail/$nom/paquets" 2>&1 >/dev/null |
    sed '/^CPackDeb: - Generating dependency list$/d' >&2)
  cp "$travail/$nom"/paquets/*.* "$travail/sortie/"
}

# Each target by the toolchain file that builds it; "" for this machine.
for cible in amd64: arm64:aarch64-linux-gnu armhf:arm-linux-gnueabihf windows:x86_64-w64-mingw32; do
  nom=${cible%%:*} chaine=${cible#*:}
  compilateur=${chaine:+$chaine-}g++
  if ! command -v "$compilateur" >/dev/null; then
    echo "$nom: skipped, $compilateur not found" >&2
    [ -z "${CI:-}" ] || exit 1
    continue
  fi
  if [ "$nom" = windows ]; then
    build "$nom" "$chaine"
  else
    build "$nom" "$chaine"
    build "$nom-static" "$chaine" -DG4_STATIQUE=ON
  fi
  echo "$nom: built" >&2
done
# Only now is DIR touched. Sums of an earlier run would lie about the files
# replaced, so they go first and the new ones come last. A file of the same
# name is removed rather than written through, should it be a link.
cd "$travail/sortie"
mkdir -p "$dist"
rm -f "$dist/SHA256SUMS"
for f in *.*; do
  rm -f "$dist/$f"
  cp "$f" "$dist/"
done
sha256sum -- *.* >"$dist/SHA256SUMS"
cat "$dist/SHA256SUMS"
