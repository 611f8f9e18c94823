#!/usr/bin/env bash
# Checks beyond the unit tests: checks.sh NAME SOURCE_DIR BUILD_DIR.
# A missing tool skips the check (exit 4), except under CI where it fails.
set -euo pipefail
quoi=$1 src=$2 build=$3

besoin() {
  for outil in "$@"; do
    if ! command -v "$outil" >/dev/null 2>&1; then
      echo "$outil not found"
      [ -n "${CI:-}" ] && exit 1 || exit 4
    fi
  done
}

# essayer DIR COMMAND...: a combined session on DIR's sample matrix, run in
# a scratch folder; the round trip must give the matrix file back.
essayer() {
  local dossier=$1
  shift
  local travail
  travail=$(mktemp -d)
  cp "$dossier/g4.txt" "$travail/"
  (cd "$travail" && printf 'g4.txt 3 g4.txt g4.code g4.retour 2\n' | "$@" >sortie)
  cmp "$travail/g4.txt" "$travail/g4.retour"
  LC_ALL=C grep -a -q 'Fin du d.*cryptage' "$travail/sortie"
  test -s "$dossier/README.md"
  rm -rf "$travail"
}

# verifierPaquets DIR [EMULATOR...]: builds the .deb and the .tar.gz in DIR;
# lintian and hardening-check find nothing in them, and the program of each,
# unpacked into a scratch root, gets through a session.
verifierPaquets() {
  local dir=$1
  shift
  (cd "$dir" && rm -f ./*.deb ./*.tar.gz && cpack >/dev/null)
  lintian --fail-on error,warning "$dir"/g4crypt_*.deb && echo "lintian: no error, no warning"
  rm -rf "$dir/racine" "$dir/tgz" && mkdir "$dir/racine" "$dir/tgz"
  dpkg-deb -x "$dir"/g4crypt_*.deb "$dir/racine"
  PATH="${OUTILS:+$OUTILS:}$PATH" hardening-check --nocfprotection "$dir/racine/usr/bin/g4crypt"
  essayer "$dir/racine/usr/share/doc/g4crypt" "$@" "$dir/racine/usr/bin/g4crypt"
  tar -xzf "$dir"/g4crypt-*.tar.gz -C "$dir/tgz"
  essayer "$dir"/tgz/g4crypt-*/share/doc/g4crypt "$@" "$(echo "$dir"/tgz/g4crypt-*/bin/g4crypt)"
  ls "$dir"/*.deb "$dir"/*.tar.gz
}

cd "$src"
version=$(sed -n 's/^project(g4crypt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
code=(main.cpp matrix/*.cpp matrix/*.h console/*.cpp console/*.h)
case $quoi in
fuzz)
  besoin clang++
  dir=$build/fuzz
  cmake -S "$src" -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DG4_TESTS=OFF -DG4_FUZZ=ON -DG4_SANITIZE=ON -DG4_WERROR=ON >/dev/null
  cmake --build "$dir" -j2 --target fuzz_matrice fuzz_dcrypt fuzz_aller_retour
  for cible in matrice dcrypt aller_retour; do
    travail=$dir/corpus_$cible
    rm -rf "$travail" && mkdir -p "$travail"
    TMPDIR=$travail "$dir/tests/fuzz/fuzz_$cible" -max_total_time="${G4_FUZZ_SECONDES:-30}" -error_exitcode=1 \
      -print_final_stats=1 -artifact_prefix="$travail/" "$travail" "$src/tests/fuzz/corpus/$cible" 2>&1 | tail -n 40
    rm -f "$travail"/g4fuzz.*
  done
  ;;
clang)
  besoin clang++
  cmake -S "$src" -B "$build/clang" -DCMAKE_CXX_COMPILER=clang++ -DG4_WERROR=ON >/dev/null
  cmake --build "$build/clang" -j2
  ctest --test-dir "$build/clang" -LE check --output-on-failure
  ;;
windows)
  besoin x86_64-w64-mingw32-g++ wine
  dir=$build/windows
  cmake -S "$src" -B "$dir" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++ \
    -DG4_WERROR=ON >/dev/null
  cmake --build "$dir" -j2 --target g4crypt
  # A French Windows: code pages 850 (console) and 1252 (ANSI), from a
  # French locale of the build's own.
  besoin localedef
  mkdir -p "$dir/locale" && localedef -i fr_FR -f UTF-8 "$dir/locale/fr_FR.UTF-8"
  # A prefix of the build's own; its first start takes a while and talks.
  export LOCPATH=$dir/locale
  export WINEPREFIX=$dir/wine WINEDEBUG=-all LC_ALL=fr_FR.UTF-8
  wine cmd /c exit >/dev/null 2>&1
  # The version resource carries the project's version.
  ressources=$(x86_64-w64-mingw32-windres -i "$dir/g4crypt.exe" -O rc)
  for champ in FileVersion ProductVersion; do
    grep -q "VALUE \"$champ\", \"$version\"" <<<"$ressources" || { echo "no $champ $version"; exit 1; }
  done
  grep -q 'level=""asInvoker""' <<<"$ressources"
  (cd "$dir" && cpack -G ZIP >/dev/null)
  rm -rf "$dir/zip" && mkdir "$dir/zip"
  (cd "$dir/zip" && cmake -E tar xf "$dir"/g4crypt-*-win64.zip)
  essayer "$dir"/zip/g4crypt-* wine "$(echo "$dir"/zip/g4crypt-*/g4crypt.exe)"
  echo "zip: $(cd "$dir/zip" && echo g4crypt-*/*)"
  ;;
paquets)
  besoin cpack dpkg-deb lintian hardening-check groff
  for page in doc/*.1; do
    avis=$(groff -k -man -ww -z "$page" 2>&1)
    [ -z "$avis" ] || { echo "$page: $avis"; exit 1; }
  done
  dir=$build/paquets
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DG4_TESTS=OFF -DG4_WERROR=ON >/dev/null
  cmake --build "$dir" -j2
  verifierPaquets "$dir"
  ;;
arm64)
  besoin aarch64-linux-gnu-g++ qemu-aarch64 cpack dpkg-deb lintian hardening-check
  dir=$build/arm64
  cmake -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/aarch64-linux-gnu.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DG4_WERROR=ON >/dev/null
  cmake --build "$dir" -j2 --target g4crypt tests_matrix
  # The package's dependencies are written out: the C library alone.
  if readelf -d "$dir/g4crypt" | grep NEEDED | grep -v -E '\[(libc|libm)\.so|\[ld-linux'; then
    echo "a library beyond the package's Depends"
    exit 1
  fi
  # hardening-check disassembles with the objdump it finds first.
  mkdir -p "$dir/outils" && ln -sf "$(command -v aarch64-linux-gnu-objdump)" "$dir/outils/objdump"
  OUTILS=$dir/outils verifierPaquets "$dir" qemu-aarch64 -L /usr/aarch64-linux-gnu
  ;;
tidy)
  besoin clang-tidy
  clang-tidy -p "$build" --quiet main.cpp matrix/*.cpp console/*.cpp
  ;;
cppcheck)
  besoin cppcheck
  cppcheck --enable=warning,style,performance,portability --std=c++17 --error-exitcode=1 --inline-suppr -q \
    --suppress=missingIncludeSystem -I matrix -I console main.cpp matrix console
  ;;
format)
  besoin clang-format
  clang-format --dry-run --Werror "${code[@]}" tests/*.cpp tests/*.h tests/fuzz/*.cpp bench/*.cpp
  ;;
*)
  echo "unknown check: $quoi" >&2
  exit 2
  ;;
esac
