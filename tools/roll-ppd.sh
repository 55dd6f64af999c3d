#!/usr/bin/env bash
# Writes a PPD for a receipt roll printer that stores what it prints as PDF
# (cups-pdf), for trying and testing roll receipts without a thermal printer.
#   tools/roll-ppd.sh 58 > roll58.ppd     (paper width in millimetres)
set -euo pipefail
mm=${1:?paper width in millimetres}
base=${2:-/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd}
name="Roll${mm}"
width=$(awk -v m="$mm" 'BEGIN { printf "%.0f", m * 72 / 25.4 }')
height=3000 # a long piece of roll; the receipt sets its own length
sed -e "s/^\*DefaultPageSize: .*/*DefaultPageSize: ${name}\n*PageSize ${name}\/${mm} mm roll: \"<<\/PageSize[${width} ${height}]\/ImagingBBox null>>setpagedevice\"/" \
    -e "s/^\*DefaultPageRegion: .*/*DefaultPageRegion: ${name}\n*PageRegion ${name}\/${mm} mm roll: \"<<\/PageSize[${width} ${height}]\/ImagingBBox null>>setpagedevice\"/" \
    -e "s/^\*DefaultImageableArea: .*/*DefaultImageableArea: ${name}\n*ImageableArea ${name}\/${mm} mm roll: \"0 0 ${width} ${height}\"/" \
    -e "s/^\*DefaultPaperDimension: .*/*DefaultPaperDimension: ${name}\n*PaperDimension ${name}\/${mm} mm roll: \"${width} ${height}\"/" \
    -e "s/^\*NickName: .*/*NickName: \"Tarvel ${mm} mm receipt roll (PDF)\"/" \
    "$base"
