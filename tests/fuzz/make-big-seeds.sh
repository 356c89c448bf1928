#!/bin/sh
# Writes the seeds too big to keep in the repository into folder $1: a row of 100,000 columns
# and one field of 1,000,000 characters, as CSV files and as layout inputs (a first byte 0:
# A4, fitted columns).
set -eu
out=$1
mkdir -p "$out/csv" "$out/layout"
awk 'BEGIN { for (i = 1; i <= 100000; i++) printf "%s%d", (i > 1 ? "," : ""), i; printf "\n" }' >"$out/csv/100000-columns.csv"
awk 'BEGIN { printf "head,text\nrow,\""; for (i = 0; i < 100000; i++) printf "0123456789"; printf "\"\n" }' >"$out/csv/huge-field.csv"
for f in 100000-columns huge-field; do
    { printf '\000'; cat "$out/csv/$f.csv"; } >"$out/layout/$f.bin"
done
