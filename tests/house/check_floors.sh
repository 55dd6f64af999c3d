#!/usr/bin/env bash
# The house rules, checked on the sources: every floor uses only the floors
# below it, the shop library knows no widget, and no screen or printout
# holds SQL. Prints each breach; fails when there is one.
set -u
src=${1:?usage: check_floors.sh SRC_DIR}
cd "$src" || exit 2
breaches=0
breach() { echo "breach: $*"; breaches=$((breaches + 1)); }

# Which folders a folder may include from.
allowed() {
  case $1 in
    shop) echo "shop" ;;
    print) echo "print shop" ;;
    gui) echo "gui print shop" ;;
    gui/*) echo "$1 gui print shop" ;;
    app) echo "app gui gui/* print shop" ;;
  esac
}

while IFS= read -r file; do
  folder=$(dirname "$file")
  while IFS= read -r included; do
    target=$(dirname "$included")
    ok=0
    for a in $(allowed "$folder"); do
      # shellcheck disable=SC2053
      [[ $target == $a ]] && ok=1
    done
    [ $ok -eq 1 ] || breach "$file includes $included"
  done < <(sed -n 's/^#include "\(.*\)"/\1/p' "$file")
  case $folder in
    shop)
      grep -Hn -E '#include <(QtGui|QtWidgets|QtPrintSupport)/|#include <Q(Widget|Font|Painter|Color|Pixmap|Image|Dialog|Application|PrinterInfo|Printer)\b' "$file" |
        while IFS= read -r line; do echo "breach: widget or paint header in the shop library: $line"; done
      ;;
    *)
      if [ "$folder" != app ]; then
        grep -Hn -E 'QSqlQuery|QSqlDatabase|sqlite3_|"(SELECT|INSERT|UPDATE|DELETE|PRAGMA|CREATE|BEGIN) ' "$file" |
          while IFS= read -r line; do echo "breach: SQL or a raw connection outside the shop library: $line"; done
      fi
      ;;
  esac
done < <(find shop print gui app -name '*.h' -o -name '*.cpp' | sort)

# The greps above print their breaches; count them again for the verdict.
sql=$(find print gui -name '*.h' -o -name '*.cpp' | xargs grep -l -E 'QSqlQuery|QSqlDatabase|sqlite3_|"(SELECT|INSERT|UPDATE|DELETE|PRAGMA|CREATE|BEGIN) ' | wc -l)
widgets=$(find shop -name '*.h' -o -name '*.cpp' | xargs grep -l -E '#include <(QtGui|QtWidgets|QtPrintSupport)/|#include <Q(Widget|Font|Painter|Color|Pixmap|Image|Dialog|Application|PrinterInfo|Printer)\b' | wc -l)
total=$((breaches + sql + widgets))
echo "house rules: $total breaches"
[ $total -eq 0 ]
