#!/usr/bin/env bash
# Builds Tarvel and runs it or its tests on Debian 12. Installs the Debian
# packages it needs when they are missing (run as root, or with sudo).
#   ./tarvel.sh run    build, then start Tarvel on ./tarv.db of the current directory
#   ./tarvel.sh test   build with warnings as errors, then run every test headless
#   ./tarvel.sh asan   the tests again under AddressSanitizer + UBSan
#   ./tarvel.sh fuzz [s]  the libFuzzer targets, each for s seconds (default 60)
#   ./tarvel.sh reliability  the long reliability run: 200 kills of the checkout,
#                        storage faults, durability, bad input, limits, 10 minutes
#                        of each fuzz target, the sanitizer suite and a leak check;
#                        prints a table of the figures (KILLS=, FUZZ_SECONDS= to change)
#   ./tarvel.sh bench  the speed table: Release build, a generated shop of five
#                        busy years and a small one (made once, kept in
#                        build-bench/shops), every figure against its baseline
#   ./tarvel.sh bench guard  CI's loose ratio check on the small shop only
#   ./tarvel.sh package  build the .deb (build-package/tarvel_*.deb), check it with
#                        lintian, install it, check the installed files, remove it
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mode=${1:-run}

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-charts-dev libxlsxwriter-dev libcsv-dev libqt6sql6-sqlite libqt6sql6-psql libsqlite3-dev libpq-dev libsodium-dev libcups2-dev qt6-translations-l10n libgl-dev fonts-noto-cjk fonts-dejavu-core)
run_packages=(xvfb xauth)
test_packages=(cups cups-client printer-driver-cups-pdf poppler-utils sqlite3 postgresql unzip)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

build() { # build dir, extra cmake flags...
  local dir=$1; shift
  cmake -S "$here" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)"
}

# A running CUPS with the cups-pdf printer "PDF" as the default printer, so
# that printing tests print for real and read the PDF back.
start_printing() {
  if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
    as_root mkdir -p /run/cups
    as_root cupsd
    for _ in $(seq 50); do lpstat -r 2>/dev/null | grep -q 'is running' && break; sleep 0.2; done
  fi
  if ! lpstat -p PDF >/dev/null 2>&1; then
    as_root lpadmin -p PDF -v cups-pdf:/ -E -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null
  fi
  # Receipt rolls of 58 and 80 mm that also write PDF, for the roll receipt.
  for width in 58 80; do
    if ! lpstat -p "Roll$width" >/dev/null 2>&1; then
      "$here/tools/roll-ppd.sh" "$width" > "/tmp/tarvel-roll$width.ppd"
      as_root lpadmin -p "Roll$width" -v cups-pdf:/ -E -P "/tmp/tarvel-roll$width.ppd" 2>/dev/null
    fi
    as_root lpadmin -p "Roll$width" -o pdftops-renderer-default=pdftocairo
  done
  # Rendered through cairo, the PDF that cups-pdf writes keeps its text readable.
  as_root lpadmin -p PDF -o pdftops-renderer-default=pdftocairo
  lpstat -d 2>/dev/null | grep -q 'PDF' || as_root lpadmin -d PDF
  local home
  home=$(getent passwd "$(id -un)" | cut -d: -f6)
  export TARVEL_PDF_DIR="$home/PDF"
  export TARVEL_REQUIRE_PRINTER=1
}

run_tests() { # build dir
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2)
}

case "$mode" in
  run)
    install_missing "${build_packages[@]}" "${run_packages[@]}"
    build "$here/build"
    exec "$here/build/tarvel"
    ;;
  test)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    build "$here/build-test" -DTARVEL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
    start_printing
    run_tests "$here/build-test"
    ;;
  asan)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    build "$here/build-asan" -DTARVEL_WERROR=ON -DTARVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    start_printing
    # Qt and fontconfig keep caches for the whole process; leaks are not checked.
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_tests "$here/build-asan"
    ;;
  fuzz)
    seconds=${2:-60}
    install_missing "${build_packages[@]}" clang
    cmake -S "$here" -B "$here/build-fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTARVEL_TESTS=OFF -DTARVEL_FUZZ=ON >/dev/null
    targets=(fuzz_money fuzz_quantity fuzz_date fuzz_criterion fuzz_shopfile)
    cmake --build "$here/build-fuzz" --parallel "$(nproc)" --target "${targets[@]}"
    for t in "${targets[@]}"; do
      corpus="$here/build-fuzz/corpus/$t"
      mkdir -p "$corpus"
      if ! out=$(cd "$here/build-fuzz" && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
                 "./fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 "$corpus" 2>&1); then
        echo "$out" | tail -60
        echo "fuzz: $t crashed" >&2
        exit 1
      fi
      runs=$(echo "$out" | sed -n 's/.*number_of_executed_units: *\([0-9]*\).*/\1/p' | tail -1)
      printf 'fuzz: %-15s %10s executions without a crash in %s s\n' "$t" "$runs" "$seconds"
    done
    ;;
  reliability)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    build "$here/build-test" -DTARVEL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
    log=$(mktemp)
    {
      QT_QPA_PLATFORM=offscreen "$here/build-test/tools/tarvel_crashtest" run "${KILLS:-200}" "$RANDOM"
      (cd "$here/build-test" && QT_QPA_PLATFORM=offscreen ctest -V -R 'tst_(durability|faults|badinput|limits)')
      "$0" fuzz "${FUZZ_SECONDS:-600}"
      "$0" asan
      "$0" leaks
    } 2>&1 | tee "$log"
    echo
    echo "== Reliability figures =="
    grep -h -o -E 'crash test: .*|FIGURE R[0-9] .*|fuzz: .*executions.*|[0-9]+% tests passed.*|leak check: .*' "$log" \
      | sed -e 's/^FIGURE //' -e 's/^crash test: /R1 crash consistency: /' -e 's/^fuzz: /R5 fuzz /' \
            -e 's/^\([0-9]*% tests passed\)/tests (R2-R4, R6; then R7 sanitizer suite): \1/' -e 's/^leak check: /R7 leak check: /'
    rm -f "$log"
    ;;
  leaks)
    # A start-sell-close run under LeakSanitizer; only leaks inside system
    # libraries (fonts, the platform) are set aside.
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    build "$here/build-asan" -DTARVEL_WERROR=ON -DTARVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    if QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$here/tools/lsan.supp:print_suppressions=0" \
       "$here/build-asan/tools/tarvel_crashtest" once; then
      echo "leak check: no leak of ours on start, sell and close"
    else
      echo "leak check: leaks found" >&2
      exit 1
    fi
    ;;
  bench)
    install_missing "${build_packages[@]}" sqlite3
    if [ "${2:-}" = guard ]; then
      build "$here/build-test" -DTARVEL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
      shops="$here/build-test/shops"
      mkdir -p "$shops"
      rm -f "$shops/small.db"
      "$here/build-test/tarvel_generate" --scale small --seed 1 --out "$shops/small.db" >/dev/null
      (cd "$here/build-test" && QT_QPA_PLATFORM=offscreen bench/bench_counter --guard --shop "$shops/small.db")
      exit
    fi
    build "$here/build-bench" -DCMAKE_BUILD_TYPE=Release -DTARVEL_TESTS=OFF
    shops="$here/build-bench/shops"
    mkdir -p "$shops"
    # The files are made again only when the generator or the schema changed.
    stamp=$(cat "$here"/tools/shopgenerator.* "$here"/src/shop/schema.* | sha256sum | cut -c1-12)
    for scale in five-years small; do
      file="$shops/$scale-$stamp.db"
      if [ ! -f "$file" ]; then
        rm -f "$shops/$scale"-*.db "$file.new"
        echo "Generating the $scale shop (once)..."
        "$here/build-bench/tarvel_generate" --scale "$scale" --seed 1 --out "$file.new" >/dev/null
        mv "$file.new" "$file"
      fi
    done
    echo "Machine: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores," \
         "$(free -g | awk '/^Mem:/ {print $2}') GiB, Debian $(cat /etc/debian_version), SQLite $(sqlite3 --version | cut -d' ' -f1)"
    (cd "$here/build-bench" && QT_QPA_PLATFORM=offscreen bench/bench_counter \
       --shop "$shops/five-years-$stamp.db" --small "$shops/small-$stamp.db")
    ;;
  package)
    install_missing "${build_packages[@]}" dpkg-dev lintian desktop-file-utils
    rm -f "$here"/build-package/tarvel_*.deb
    build "$here/build-package" -DCMAKE_BUILD_TYPE=Release -DTARVEL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr
    (cd "$here/build-package" && cpack -G DEB >/dev/null)
    deb=$(ls "$here"/build-package/tarvel_*.deb)
    dpkg-deb --info "$deb"
    dpkg-deb --contents "$deb"
    lintian --fail-on error --suppress-tags no-manual-page "$deb"
    # Installed as a user would, then checked and removed again.
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
    for f in /usr/bin/tarvel /usr/share/applications/tarvel.desktop \
             /usr/share/icons/hicolor/scalable/apps/tarvel.svg /usr/share/tarvel/translations/qtbase_zh_CN.qm; do
      [ -e "$f" ] || { echo "missing after install: $f" >&2; exit 1; }
    done
    if ldd /usr/bin/tarvel | grep -q 'not found'; then ldd /usr/bin/tarvel >&2; exit 1; fi
    if command -v desktop-file-validate >/dev/null; then desktop-file-validate /usr/share/applications/tarvel.desktop; fi
    as_root dpkg -r tarvel >/dev/null
    echo "package: $deb built, checked, installed and removed"
    ;;
  *)
    echo "usage: $0 run|test|asan|fuzz|leaks|reliability|bench [guard]|package" >&2
    exit 2
    ;;
esac
