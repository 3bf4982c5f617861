#!/usr/bin/env bash
# ombrix against GNU objcopy and srec_cat (binutils, srecord): the tools write
# Intel HEX and S-records of random data (below and above 2 GiB, across 64 KiB
# boundaries, sparse or not, with or without a start, several record lengths
# and address sizes, in two regions more than 2 GiB apart); ombrix converts
# each into every format and the tools read them back: same data (srec_cmp),
# same start (srec_info), same binary as objcopy's. Files as they are found
# too: text, vendor records and Ctrl-Z after the end record, records given
# twice, and messages about control characters.
# Usage: tests/differential/tools_agree.sh PATH/TO/ombrix
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

# check_input INPUT WHAT [wide]: ombrix converts INPUT to every format; a
# wide input (more than 256 MiB from its lowest to its highest address) is
# refused as a binary output, naming its span.
check_input() {
  local input=$1 what=$2 wide=${3:-}
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
  if [ -n "$wide" ]; then
    if "$program" image convert "$input" -o out.bin 2>err.log || ! grep -q ' spans [0-9]* bytes' err.log; then
      fail "$what: a binary output of more than 256 MiB not refused: $(cat err.log)"
    else
      passes=$((passes + 1))
    fi
    return
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

# Internal flash at 08000000, external flash at 90000000: two regions, from
# both tools, in every format and back.
random_bytes 5 50000 flash.bin
srec_cat flash.bin -binary -crop 0 30000 -offset 0x08000000 flash.bin -binary -crop 30000 50000 \
  -offset "$((0x90000000 - 30000))" -o two.hex -intel -execution-start-address=0x08000101
record_bytes=16
check_input two.hex "two regions (srec_cat Intel HEX)" wide
objcopy -I ihex -O srec two.hex two.srec
check_input two.srec "two regions (objcopy S-records)" wide
for command in "map" "crc two.hex 0x9000000E 4" "read two.hex 0x9000000E 4" \
    "crop two.hex 0x08007000 0x90000000 -o c.s37" \
    "fill two.hex --range 0x08007528 16 --pattern 0xAB -o f.hex"; do
  read -r -a words <<<"$command"
  [ ${#words[@]} -gt 1 ] || words+=(two.hex)
  "$program" image "${words[@]}" >out.txt 2>err.log || fail "two regions: image $command: $(cat err.log)"
done
if srec_cat f.hex -intel -crop 0x08007530 0x08007538 -o - -hex-dump 2>/dev/null | grep -q 'AB AB AB AB' &&
    srec_cmp c.s37 -motorola two.hex -intel -crop 0x08007000 0xFFFFFFFF >/dev/null 2>&1; then
  passes=$((passes + 1))
else
  fail "two regions: crop and fill as srec_cat reads them"
fi

# Files as they are found: vendor records, text and Ctrl-Z after the end
# record, and a record given twice, read as srec_cat and objcopy read them.
random_bytes 11 3000 found.bin
srec_cat found.bin -binary -offset 0x1000 -o found.hex -intel
printf ':0400000AFFFFFFFFF4\r\nBuilt by a tool\r\n\032' >trailer
cat found.hex trailer >trailed.hex
{ head -n 4 found.hex; sed -n 3p found.hex; tail -n +5 found.hex; } >twice.hex
# An S-record file ends with its termination record where it has a start.
srec_cat found.bin -binary -offset 0x1000 -o found.s19 -motorola -execution-start-address=0x1000
cat found.s19 trailer >trailed.s19
record_bytes=16
for input in trailed.hex twice.hex trailed.s19; do
  objcopy -I "$([[ $input == *.hex ]] && echo ihex || echo srec)" -O srec "$input" objcopy_read.srec
  "$program" image convert "$input" -o ours.srec 2>notice.log || fail "$input: $(cat notice.log)"
  # (objcopy writes a start of 0 where none was read, so only the data is compared.)
  if srec_cmp objcopy_read.srec -motorola ours.srec -motorola >/dev/null 2>&1; then
    passes=$((passes + 1))
  else
    fail "$input: ombrix reads other data than objcopy"
  fi
  check_input "$input" "$input"
  # Said once, with the line of the first one passed over.
  found=found.${input##*.}
  notice="ombrix: $input:$(($(wc -l <"$found") + 1)): 2 lines after the"
  if [[ $input == trailed* ]] && [ "$(grep -c "^$notice .* record ignored$" notice.log)" -ne 1 ]; then
    fail "$input: the lines after the end record are not noted once: $(cat notice.log)"
  fi
done
if "$program" image convert trailed.hex -o strict.s19 --strict 2>err.log || [ -e strict.s19 ]; then
  fail "--strict accepts text after the end record"
fi

# Messages quote control characters as escapes, one line each.
printf ':020100000102FA\r:00000001FF\r' >cr.hex
printf ':0201\033\03300000102FA\n:00000001FF\n' >esc.hex
for input in cr.hex esc.hex; do
  "$program" image map "$input" >/dev/null 2>err.log
  if [ "$(wc -l <err.log)" -ne 1 ] || LC_ALL=C grep -q $'[\x01-\x09\x0B-\x1F]' err.log ||
      ! grep -qF "$([ $input = cr.hex ] && echo "'\r:'" || echo "'\x1B\x1B'")" err.log; then
    fail "$input: the message prints control characters: $(cat -v err.log)"
  else
    passes=$((passes + 1))
  fi
done

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
