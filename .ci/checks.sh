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

cd "$src"
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
  besoin x86_64-w64-mingw32-g++
  cmake -S "$src" -B "$build/windows" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++ \
    -DG4_WERROR=ON >/dev/null
  cmake --build "$build/windows" -j2 --target g4crypt
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
