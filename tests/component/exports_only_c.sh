#!/usr/bin/env bash
# The component server's dynamic symbols: every defined one is a function
# of the C interface (ombrix_*), and every function the header declares is
# there.
set -euo pipefail
library=$1
header=$(dirname "$0")/../../ombrix/ombrix_c.h
defined=$(nm -D --defined-only "$library" | awk '$2 != "A" { sub(/@.*/, "", $3); print $3 }' | sort)
others=$(grep -v '^ombrix_' <<<"$defined" || true)
if [ -n "$others" ]; then
  echo "exported beyond the C interface:" >&2
  echo "$others" | head -20 >&2
  exit 1
fi
declared=$(grep -oE '^[a-z_0-9 *]+ombrix_[a-z_]+\(' "$header" | grep -v 'static inline' |
  grep -oE 'ombrix_[a-z_]+' | sort -u)
missing=$(comm -23 <(echo "$declared") <(echo "$defined"))
if [ -n "$missing" ]; then
  echo "declared but not exported: $missing" >&2
  exit 1
fi
soname=$(objdump -p "$library" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = libombrix.so.1 ] || { echo "soname $soname" >&2; exit 1; }
echo "exports $(wc -l <<<"$defined") C functions, soname $soname"
