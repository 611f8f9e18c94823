#!/usr/bin/env bash
# Checks beyond the unit tests: checks.sh NAME SOURCE_DIR DIR BUILD_DIR, where
# DIR is the check's own folder and BUILD_DIR the build that runs it.
# A missing tool skips the check (exit 4), except under CI where it fails.
set -euo pipefail
quoi=$1 src=$2 dir=$3 build=$4

besoin() {
  for outil in "$@"; do
    if ! command -v "$outil" >/dev/null 2>&1; then
      echo "$outil not found"
      [ -n "${CI:-}" ] && exit 1 || exit 4
    fi
  done
}

# essayer DIR COMMAND...: the README's combined session on DIR's sample
# files, run in a scratch copy of DIR; the round trip must give the sample
# file back.
essayer() {
  local dossier=$1
  shift
  local travail
  travail=$(mktemp -d)
  cp -r "$dossier/." "$travail/"
  (cd "$travail" && printf 'g4.txt 3 lettre.txt lettre.g4 lettre.dec 2\n' | "$@" >sortie)
  cmp "$travail/lettre.txt" "$travail/lettre.dec"
  LC_ALL=C grep -a -q 'Fin du d.*cryptage' "$travail/sortie"
  test -s "$dossier/README.md"
  rm -rf "$travail"
}

# croise TRIPLET: the program and the unit tests, cross-built.
croise() {
  besoin "$1-g++"
  cmake -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$1.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DG4_WERROR=ON >/dev/null
  cmake --build "$dir" -j2 --target g4crypt tests_matrix
}

# grosFichiers COMMAND...: files past 4 GiB through a 32-bit program. A
# sparse source of 4 GiB and a few bytes is encrypted past 8 GiB, then
# decrypted, and comes back whole, its last bytes past 4 GiB included.
grosFichiers() {
  local travail
  travail=$(mktemp -d -p "$dir")
  cp "$src/exemple/g4.txt" "$travail/"
  truncate -s $((4 * 1024 * 1024 * 1024)) "$travail/gros.bin"
  printf 'fin\n' >>"$travail/gros.bin"
  (cd "$travail" && printf 'g4.txt 1 gros.bin gros.g4 1 g4.txt 2 gros.g4 gros.dec 2\n' | "$@" >sortie)
  local tailles
  tailles=$(stat -c %s "$travail/gros.g4" "$travail/gros.dec" | tr '\n' ' ')
  LC_ALL=C grep -a -c -E '^Fin du (d.*)?cryptage' "$travail/sortie" | grep -qx 2 || { tail -n 5 "$travail/sortie"; exit 1; }
  cmp "$travail/gros.bin" "$travail/gros.dec"
  rm -rf "$travail"
  [ "$tailles" = "$((8 * 1024 * 1024 * 1024 + 8)) $((4 * 1024 * 1024 * 1024 + 4)) " ] || { echo "sizes: $tailles"; exit 1; }
  echo "files past 4 GiB: $1 round-trips a sparse source"
}

cd "$src"
code=(main.cpp matrix/*.cpp matrix/*.h console/*.cpp console/*.h)
case $quoi in
fuzz)
  besoin clang++
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
  cmake -S "$src" -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DG4_WERROR=ON >/dev/null
  cmake --build "$dir" -j2
  ctest --test-dir "$dir" -LE check --output-on-failure
  ;;
windows)
  besoin x86_64-w64-mingw32-g++ wine localedef
  cmake -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/x86_64-w64-mingw32.cmake" -DG4_WERROR=ON >/dev/null
  cmake --build "$dir" -j2 --target g4crypt
  # The same, acting as on a file system that gives no file ID.
  cmake -S "$src" -B "$dir/sans-id" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/x86_64-w64-mingw32.cmake" -DG4_WERROR=ON \
    -DG4_TESTS=OFF -DG4_SANS_ID=ON >/dev/null
  cmake --build "$dir/sans-id" -j2 --target g4crypt
  # A French Windows: code pages 850 (console) and 1252 (ANSI), from a
  # French locale of the build's own; and one whose pages are both UTF-8.
  mkdir -p "$dir/locale" && localedef -i fr_FR -f UTF-8 "$dir/locale/fr_FR.UTF-8"
  localedef -i hi_IN -f UTF-8 "$dir/locale/hi_IN.UTF-8"
  export LOCPATH=$dir/locale
  # A prefix of the build's own; its first start takes a while and talks.
  export WINEPREFIX=$dir/wine WINEDEBUG=-all LC_ALL=fr_FR.UTF-8
  wine cmd /c exit >/dev/null 2>&1
  # The command processor is started without its AutoRun commands (/d),
  # which Wine's cmd would not run anyway, as its trace of each start shows.
  travail=$(mktemp -d)
  cp "$src/exemple/g4.txt" "$src/exemple/lettre.txt" "$travail/"
  (cd "$travail" && printf 'g4.txt 3 lettre.txt lettre.g4 lettre.dec 2' |
    WINEDEBUG=-all,+process wine "$dir/g4crypt.exe" 2>&1 >/dev/null | grep -a 'CreateProcessInternalW' >traces) || true
  if [ "$(grep -c 'cmdline L"cmd ' "$travail/traces")" != 9 ] || grep 'cmdline L"cmd ' "$travail/traces" | grep -v '"cmd /d /c '; then
    cat "$travail/traces"
    exit 1
  fi
  # Under UTF-8 ANSI and OEM pages, the decryption's label is still read
  # with its accent.
  (cd "$travail" && printf 'g4.txt 2 lettre.g4 lettre.dec 2' | LC_ALL=hi_IN.UTF-8 wine "$dir/g4crypt.exe" >sortie)
  LC_ALL=C grep -a -q $'^Fin du d\xc3\xa9cryptage' "$travail/sortie" || { cat -v "$travail/sortie"; exit 1; }
  wine cmd /c exit >/dev/null 2>&1
  rm -rf "$travail"
  # The version resource carries the project's version.
  ressources=$(x86_64-w64-mingw32-windres -i "$dir/g4crypt.exe" -O rc)
  for champ in FileVersion ProductVersion; do
    grep -q "VALUE \"$champ\", \"$G4_VERSION\"" <<<"$ressources" || { echo "no $champ $G4_VERSION"; exit 1; }
  done
  grep -q 'level=""asInvoker""' <<<"$ressources"
  (cd "$dir" && cpack -G ZIP >/dev/null)
  rm -rf "$dir/zip" && mkdir "$dir/zip"
  (cd "$dir/zip" && cmake -E tar xf "$dir"/g4crypt-*-win64.zip)
  essayer "$dir"/zip/g4crypt-* wine "$(echo "$dir"/zip/g4crypt-*/g4crypt.exe)"
  echo "zip: $(cd "$dir/zip" && echo g4crypt-*/*)"
  ;;
arm64)
  croise aarch64-linux-gnu
  ;;
armhf)
  croise arm-linux-gnueabihf
  grosFichiers qemu-arm -L /usr/arm-linux-gnueabihf "$dir/g4crypt"
  ;;
i386)
  croise i686-linux-gnu
  if ! /usr/i686-linux-gnu/lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "this kernel runs no 32-bit program: the i386 build runs under qemu-i386, which hides a 32-bit kernel's limits"
  fi
  grosFichiers "$src/cmake/i386.sh" "$dir/g4crypt"
  ;;
release)
  besoin git cmake cpack dpkg-deb lintian hardening-check groff readelf chroot unshare
  for page in doc/*.1; do
    avis=$(groff -k -man -ww -z "$page" 2>&1)
    [ -z "$avis" ] || { echo "$page: $avis"; exit 1; }
  done
  # Two clones in two folders, built one after the other: the same files.
  rm -rf "$dir" && mkdir -p "$dir"
  for n in un deux-dans-un-autre-dossier; do
    git clone -q "$src" "$dir/$n/g4crypt"
    # A folder of the user's: what it holds stays, and is not listed; a
    # link under a release file's name is replaced, not written through.
    mkdir -p "$dir/$n/dist" && echo "a moi" | tee "$dir/$n/dist/a-moi.txt" >"$dir/$n/ailleurs"
    ln -s ../ailleurs "$dir/$n/dist/g4crypt-$G4_VERSION-win64.zip"
    "$dir/$n/g4crypt/packaging/release.sh" "$dir/$n/dist" >/dev/null
    grep -qx "a moi" "$dir/$n/dist/a-moi.txt"
    grep -qx "a moi" "$dir/$n/ailleurs"
    if grep -q a-moi "$dir/$n/dist/SHA256SUMS"; then
      echo "SHA256SUMS lists a file the release did not make"
      exit 1
    fi
  done
  if ! diff "$dir"/un/dist/SHA256SUMS "$dir"/deux-dans-un-autre-dossier/dist/SHA256SUMS; then
    if command -v diffoscope >/dev/null; then
      for f in $(diff "$dir"/un/dist/SHA256SUMS "$dir"/deux-*/dist/SHA256SUMS | sed -n 's/^< [0-9a-f]*  //p'); do
        diffoscope "$dir/un/dist/$f" "$dir"/deux-*/dist/"$f" || true
      done
    fi
    exit 1
  fi
  dist=$dir/un/dist
  guide=$dir/un/g4crypt/LISEZMOI.txt
  # The French guide in the ZIP, for Notepad: a byte-order mark, then the
  # same text with CR LF line ends only.
  mkdir -p "$dir/zip" && (cd "$dir/zip" && cmake -E tar xf "$dist"/g4crypt-*-win64.zip)
  zip=$(echo "$dir"/zip/g4crypt-*/LISEZMOI.txt)
  [ "$(head -c 3 "$zip" | od -An -tx1 | tr -d ' ')" = efbbbf ] || { echo "$zip: no byte-order mark"; exit 1; }
  if tail -c +4 "$zip" | LC_ALL=C grep -q -v $'\r$'; then
    echo "$zip: a line without CR LF"
    exit 1
  fi
  tail -c +4 "$zip" | tr -d '\r' | cmp - "$guide"
  for deb in "$dist"/*.deb; do
    lintian --fail-on error,warning "$deb" && echo "lintian $(basename "$deb"): no error, no warning"
    racine=$dir/racine-$(basename "$deb" .deb)
    dpkg-deb -x "$deb" "$racine"
    zcat "$racine/usr/share/doc/g4crypt/LISEZMOI.txt.gz" | cmp - "$guide"
    # Both manual pages say how to read the guide where the package puts it.
    lisezmoi=$(cd "$racine" && find . -name LISEZMOI.txt.gz | sed 's/^\.//')
    mapfile -t pages < <(find "$racine" -name g4crypt.1.gz)
    [ -n "$lisezmoi" ] && [ ${#pages[@]} = 2 ] || { echo "$deb: guide '$lisezmoi', pages: ${pages[*]}"; exit 1; }
    for page in "${pages[@]}"; do
      zcat "$page" | grep -qF "zless $lisezmoi" || { echo "$deb: ${page#"$racine"}: no zless $lisezmoi"; exit 1; }
    done
    programme=$racine/usr/bin/g4crypt
    # The C library alone, at a version that covers every symbol it takes.
    if readelf -d "$programme" | grep NEEDED | grep -v -E '\[(libc|libm)\.so|\[ld-linux'; then
      echo "$deb: a library beyond the package's Depends"
      exit 1
    fi
    besoin=$(readelf -V --wide "$programme" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -n 1)
    depend=$(dpkg-deb -f "$deb" Depends | sed -n 's/.*libc6 (>= \([0-9.]*\)).*/\1/p')
    dpkg --compare-versions "$depend" ge "$besoin" || { echo "$deb: libc6 >= $depend, needs $besoin"; exit 1; }
    # hardening-check disassembles with the objdump it finds first.
    arch=$(dpkg-deb -f "$deb" Architecture)
    triplet=$(dpkg-architecture -a "$arch" -q DEB_HOST_GNU_TYPE 2>/dev/null || true)
    mkdir -p "$dir/outils-$arch"
    ln -sf "$(command -v "$triplet-objdump" || command -v objdump)" "$dir/outils-$arch/objdump"
    PATH="$dir/outils-$arch:$PATH" hardening-check --nocfprotection "$programme"
  done
  # Each static program gets through a session in a root that holds only
  # itself, the matrix and its files (entered from a user namespace, so
  # that no administrator is needed); the ARM ones under qemu-user with no
  # libraries to find.
  for tgz in "$dist"/*.tar.gz; do
    paquet=$dir/$(basename "$tgz" .tar.gz)
    mkdir -p "$paquet" && tar -xzf "$tgz" -C "$paquet"
    cmp "$paquet"/*/share/doc/g4crypt/LISEZMOI.txt "$guide"
    # Both manual pages name the sample matrix where this archive holds it,
    # under its own folder, and not only under /usr.
    exemple=$(cd "$paquet"/*/ && find . -name g4.txt | sed 's/^\.\///')
    mapfile -t pages < <(find "$paquet" -name g4crypt.1.gz)
    [ -n "$exemple" ] && [ ${#pages[@]} = 2 ] || { echo "$tgz: sample '$exemple', pages: ${pages[*]}"; exit 1; }
    for page in "${pages[@]}"; do
      zcat "$page" | grep -qE "(^|[^/])${exemple//./\\.}" || { echo "$tgz: ${page#"$paquet"/}: no $exemple"; exit 1; }
    done
    racine=$paquet/racine
    mkdir "$racine" && cp "$paquet"/*/bin/g4crypt "$paquet"/*/share/doc/g4crypt/{g4.txt,lettre.txt,README.md} "$racine/"
    if readelf -l "$racine/g4crypt" | grep -q INTERP; then
      echo "$tgz: not a static program"
      exit 1
    fi
    case $tgz in
    *-x86_64.tar.gz) essayer "$racine" unshare -r chroot . /g4crypt ;;
    *-aarch64.tar.gz) essayer "$racine" qemu-aarch64 ./g4crypt ;;
    *-armv7l.tar.gz) essayer "$racine" qemu-arm ./g4crypt ;;
    esac
    echo "$(basename "$tgz"): static, runs alone"
  done
  cat "$dist/SHA256SUMS"
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
