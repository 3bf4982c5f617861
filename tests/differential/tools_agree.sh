#!/usr/bin/env bash
# ombrix against GNU objcopy and srec_cat (binutils, srecord): the tools write
# Intel HEX and S-records of random data (below and above 2 GiB, across 64 KiB
# boundaries, sparse or not, with or without a start, several record lengths
# and address sizes); ombrix converts each into every format and the tools
# read them back: same data (srec_cmp), same start (srec_info), same binary
# as objcopy's.   Usage: tests/differential/tools_agree.sh PATH/TO/ombrix
set -uo pipefail
program=$1
for tool in objcopy srec_cat srec_cmp srec_info perl; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install binutils srecord)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passes=0
failures=0

fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# random_bytes SEED COUNT FILE: the same bytes for the same seed, every run.
random_bytes() {
  perl -e 'srand($ARGV[0]); print map { chr(int(rand(256))) } 1 .. $ARGV[1]' "$1" "$2" >"$3"
}

start_of() {  # the start address srec_info reads, or "none"
  local line
  line=$(srec_info "$@" 2>/dev/null | grep 'Execution Start Address') || { echo none; return; }
  echo "${line##* }"
}

srec_format() {  # srec_cat's name for a file's format
  case "$1" in
    *.hex) echo -intel ;;
    *.bin) echo -binary ;;
    *) echo -motorola ;;
  esac
}

# compare INPUT OUTPUT: the tools read the same data and start from both.
compare() {
  local input=$1 output=$2 what=$3
  if ! srec_cmp "$input" "$(srec_format "$input")" "$output" "$(srec_format "$output")" \
      >compare.log 2>&1; then
    fail "$what: srec_cmp finds different data in $output" && head -n 5 compare.log >&2
  elif [ "$(start_of "$input" "$(srec_format "$input")")" != "$(start_of "$output" "$(srec_format "$output")")" ]; then
    fail "$what: the start address differs from the input's"
  else
    passes=$((passes + 1))
  fi
}

# check_input INPUT WHAT: ombrix converts INPUT to every format.
check_input() {
  local input=$1 what=$2
  local output
  for output in out.hex out.s19 out.s28 out.s37 out.srec; do
    rm -f "$output"
    # An S3 record holds at most 250 data bytes, an Intel HEX record 255.
    local bytes=$record_bytes
    [[ $output == *.hex ]] || bytes=$((bytes > 250 ? 250 : bytes))
    if ! "$program" image convert "$input" -o "$output" --record-bytes "$bytes" 2>err.log; then
      fail "$what: ombrix convert to $output: $(cat err.log)"
      continue
    fi
    compare "$input" "$output" "$what -> $output"
  done
  # Through JSON and back, and through standard input and output.
  if "$program" image convert "$input" -o out.json && "$program" image convert out.json -o back.hex; then
    compare "$input" back.hex "$what -> json -> hex"
  else
    fail "$what: through JSON"
  fi
  local format=ihex
  [[ $input == *.hex ]] || format=srec
  if "$program" image convert - --format "$format" -o - --out-format srec <"$input" >piped.srec; then
    compare "$input" piped.srec "$what -> stdin/stdout"
  else
    fail "$what: through standard input and output"
  fi
  # Binary: the bytes from the lowest address, gaps zero, as objcopy writes them.
  objcopy -I "$([[ $input == *.hex ]] && echo ihex || echo srec)" -O binary "$input" reference.bin
  if "$program" image convert "$input" -o out.bin --pattern 0 && cmp -s out.bin reference.bin; then
    passes=$((passes + 1))
  else
    fail "$what: binary output differs from objcopy's"
  fi
}

# case NAME ADDRESS SIZE START SPARSE RECORD_BYTES
run_case() {
  local name=$1 address=$2 size=$3 start=$4 sparse=$5
  record_bytes=$6
  random_bytes "$((passes + 7))" "$size" data.bin
  local pieces=(data.bin -binary -offset "$address")
  if [ "$sparse" = sparse ]; then
    # Three stretches with gaps, the last one 1 MiB further on.
    local third=$((size / 3))
    pieces=(data.bin -binary -crop 0 "$third" -offset "$address"
            data.bin -binary -crop "$((third + 17))" "$((2 * third))" -offset "$address"
            data.bin -binary -crop "$((2 * third + 5))" "$size" -offset "$((address + 0x100000))")
  fi
  local start_option=() objcopy_start=()
  if [ "$start" != none ]; then
    start_option=(-execution-start-address="$start")
    objcopy_start=(--set-start "$start")
  fi
  srec_cat "${pieces[@]}" -o srec_cat.hex -intel -output-block-size="$record_bytes" "${start_option[@]}"
  check_input srec_cat.hex "$name (srec_cat Intel HEX)"
  local length
  for length in 2 3 4; do
    if srec_cat "${pieces[@]}" -o "srec_cat$length.srec" -motorola -address-length="$length" \
        -output-block-size="$record_bytes" "${start_option[@]}" 2>/dev/null; then
      check_input "srec_cat$length.srec" "$name (srec_cat S-records, $length-byte addresses)"
    fi
  done
  if [ "$sparse" != sparse ]; then
    objcopy -I binary -O ihex --change-addresses "$address" "${objcopy_start[@]}" data.bin objcopy.hex
    check_input objcopy.hex "$name (objcopy Intel HEX)"
    objcopy -I binary -O srec --srec-len "$record_bytes" --change-addresses "$address" \
      "${objcopy_start[@]}" data.bin objcopy.srec
    check_input objcopy.srec "$name (objcopy S-records)"
    # A binary input placed at an address.
    if "$program" image convert data.bin --base "$address" -o from_bin.hex; then
      srec_cat data.bin -binary -offset "$address" -o reference.hex -intel
      compare reference.hex from_bin.hex "$name (binary input)"
    else
      fail "$name: binary input"
    fi
  fi
}

run_case "low, across 64 KiB" 0x0 70000 none dense 16
run_case "low, start" 0x12345 3000 0x12345 dense 32
run_case "below 2 GiB, across it" 0x7FFFF000 9000 0x7FFFF010 dense 16
run_case "high flash" 0x80000000 70000 0x80000400 dense 64
run_case "top of the address space" 0xFFFF0000 65536 0xFFFF0000 dense 255
run_case "sparse, above 2 GiB" 0xA000FFF0 40000 none sparse 16
run_case "sparse, low" 0xFFF8 20000 0x10000 sparse 1

# Every record length both ways, on a small image across a 64 KiB boundary:
# srec_cat writes records of each length, ombrix reads them and writes
# records of the same length in the other format.
random_bytes 99 700 small.bin
for length in $(seq 1 255); do
  srec_cat small.bin -binary -offset 0x8000FEF0 -o "len.hex" -intel -output-block-size="$length"
  "$program" image convert len.hex -o len.s37 --record-bytes "$((length > 250 ? 250 : length))" &&
    srec_cmp len.hex -intel len.s37 -motorola >/dev/null 2>&1 &&
    "$program" image convert len.s37 -o len2.hex --record-bytes "$length" &&
    srec_cmp len.hex -intel len2.hex -intel >/dev/null 2>&1 ||
    { fail "record length $length"; continue; }
  passes=$((passes + 1))
done

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
