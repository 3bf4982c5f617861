#!/usr/bin/env bash
# The program never destroys its output: links are followed and kept,
# devices and FIFOs are written in place, a replaced file keeps its owner and
# mode, and a write stopped by the file size limit, a full disk or a signal
# leaves the old file as it was, no temporary file, and exit status 2 with
# the reason (a signal that ends the program: the old file and no temporary
# file). Output to a full standard output is an error; to a closed pipe, a
# quiet end.
#
#   tests/cli/output_safety.sh PATH/TO/ombrix SAMPLES_DIR
set -uo pipefail
program=$1
samples=$2
work=$(mktemp -d)
trap 'umount "$work/small" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
passes=0

check() {  # check DESCRIPTION COMMAND...
  local description=$1
  shift
  if "$@"; then
    passes=$((passes + 1))
  else
    echo "FAILED: $description" >&2
    failures=$((failures + 1))
  fi
}
convert() { "$program" image convert "$@"; }
no_temporary_files() { [ -z "$(find . -name '*.tmp-*')" ]; }
# refused STATUS ERR_FILE REASON OUTPUT: exit 2 with the reason, the old file kept, nothing left.
refused() {
  [ "$1" -eq 2 ] && grep -q "$3" "$2" && cmp -s "$4" expected.hex && no_temporary_files
}

convert "$samples/firmware.hex" -o expected.hex || exit 1

# A symbolic link: the target gets the text, the link stays a link, also
# when it is relative, chained, or dangling.
mkdir targets
echo old >targets/real.hex
ln -s targets/real.hex link.hex
ln -s link.hex chain.hex
ln -s targets/new.hex dangling.hex
convert "$samples/firmware.hex" -o chain.hex
check "symlink: exit 0, still links, target written" \
  bash -c "[ $? -eq 0 ] && [ -L link.hex ] && [ -L chain.hex ] && cmp -s targets/real.hex expected.hex"
convert "$samples/firmware.hex" -o dangling.hex
check "dangling symlink: target created, link kept" \
  bash -c '[ -L dangling.hex ] && cmp -s targets/new.hex expected.hex'

# A FIFO and a character device are written, not replaced.
mkfifo pipe.hex
cat pipe.hex >from_pipe.hex &
reader=$!
convert "$samples/firmware.hex" -o pipe.hex
status=$?
wait "$reader"
check "fifo: exit 0, still a fifo, the reader got the text" \
  bash -c "[ $status -eq 0 ] && [ -p pipe.hex ] && cmp -s from_pipe.hex expected.hex"
convert "$samples/firmware.hex" -o /dev/null --out-format ihex
check "/dev/null: exit 0, still a device" bash -c "[ $? -eq 0 ] && [ -c /dev/null ]"
convert "$samples/firmware.hex" -o /dev/full --out-format ihex 2>full.err
check "/dev/full: exit 2 and why" bash -c "[ $? -eq 2 ] && grep -q 'No space left' full.err"

# A replaced file keeps its mode, and its owner where we may give it.
echo old >owned.hex
chmod 640 owned.hex
if [ "$(id -u)" -eq 0 ]; then chown 1234:5678 owned.hex; fi
before=$(stat -c '%u:%g %a' owned.hex)
convert "$samples/firmware.hex" -o owned.hex
check "replaced: same owner and mode, new text" \
  bash -c "[ \"\$(stat -c '%u:%g %a' owned.hex)\" = '$before' ] && cmp -s owned.hex expected.hex"

# Stopped by the file size limit.
head -c 4000000 /dev/zero >big.bin
cp expected.hex limited.hex
(ulimit -f 1000 && exec "$program" image convert big.bin -o limited.hex) 2>limit.err
check "file size limit: refused, old file intact" refused $? limit.err "File too large" limited.hex

# A full disk (a small tmpfs, where this user may mount one).
mkdir small
if mount -t tmpfs -o size=256k tmpfs small 2>/dev/null; then
  cp expected.hex small/full.hex
  convert big.bin -o small/full.hex 2>disk.err
  check "full disk: refused, old file intact" refused $? disk.err "No space left" small/full.hex
  check "full disk: no temporary file" [ "$(ls small)" = full.hex ]
  umount small
else
  echo "skipped: a full disk (cannot mount a tmpfs here)"
fi

# A signal during the write: the program is stopped once its temporary file
# is open (it may have no name), gets the signal, and goes on to notice it;
# signals that end the program leave the old file and nothing else.
head -c 60000000 /dev/zero >huge.bin
writing() {  # writing PID: the process has its temporary file open
  ls -l "/proc/$1/fd" 2>/dev/null | grep -q -e 'signalled.hex.tmp-' -e '(deleted)'
}
for signal in TERM INT USR1 ALRM PIPE; do
  cp expected.hex signalled.hex
  "$program" image convert huge.bin -o signalled.hex 2>signal.err &
  writer=$!
  for _ in $(seq 1 2000); do
    writing "$writer" && break
    sleep 0.005
  done
  kill -STOP "$writer"
  kill -"$signal" "$writer"
  kill -CONT "$writer"
  wait "$writer"
  status=$?
  if [ "$signal" = TERM ] || [ "$signal" = INT ]; then
    check "SIG$signal: refused, old file intact" \
      refused $status signal.err "interrupted by SIG$signal" signalled.hex
  else
    check "SIG$signal: ended, old file intact, no temporary file" \
      bash -c "[ $status -gt 128 ] && cmp -s signalled.hex expected.hex && [ -z \"\$(find . -name '*.tmp-*')\" ]"
  fi
done

# Standard output: a full device is an error, named; a closed pipe ends the
# program quietly, as SIGPIPE does.
for command in "image convert $samples/firmware.hex -o - --out-format ihex" \
    "image map $samples/firmware.hex" "image read $samples/firmware.hex 0 16" \
    "image crc $samples/firmware.hex 0 256" "crc 313233" \
    "field 10A53C7B0BB8020028D6 --intel --skip 8 --bits 16"; do
  read -r -a words <<<"$command"
  "$program" "${words[@]}" >/dev/full 2>full.err
  check "$command > /dev/full: exit 2 and why" \
    bash -c "[ $? -eq 2 ] && grep -q 'cannot write standard output: No space left' full.err"
done
"$program" image convert big.bin -o - --out-format ihex 2>pipe.err | head -c 10 >/dev/null
status=${PIPESTATUS[0]}
check "a closed pipe: ended as by SIGPIPE, quietly" bash -c "[ $status -eq 141 ] && [ ! -s pipe.err ]"
(trap '' PIPE && "$program" image convert big.bin -o - --out-format ihex 2>pipe.err | head -c 10 >/dev/null
 exit "${PIPESTATUS[0]}")
status=$?
check "a closed pipe, SIGPIPE ignored: the same" bash -c "[ $status -eq 141 ] && [ ! -s pipe.err ]"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
