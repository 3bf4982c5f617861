#!/usr/bin/env bash
# The program never destroys its output: links are followed and kept,
# devices and FIFOs are written in place, a replaced file keeps its owner and
# mode, and a write stopped by the file size limit, a full disk or a signal
# leaves the old file as it was, no temporary file, and exit status 2 with
# the reason.
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
no_temporary_files() { [ -z "$(find . -name '*.tmp-*')" ]; }

"$program" image convert "$samples/firmware.hex" -o expected.hex || exit 1

# A symbolic link: the target gets the text, the link stays a link, also
# when it is relative, chained, or dangling.
mkdir targets
echo old >targets/real.hex
ln -s targets/real.hex link.hex
ln -s link.hex chain.hex
ln -s targets/new.hex dangling.hex
"$program" image convert "$samples/firmware.hex" -o chain.hex
check "symlink: exit 0" [ $? -eq 0 ]
check "symlink: still links" bash -c '[ -L link.hex ] && [ -L chain.hex ]'
check "symlink: target written" cmp -s targets/real.hex expected.hex
"$program" image convert "$samples/firmware.hex" -o dangling.hex
check "dangling symlink: target created, link kept" \
  bash -c '[ -L dangling.hex ] && cmp -s targets/new.hex expected.hex'

# A FIFO and a character device are written, not replaced.
mkfifo pipe.hex
cat pipe.hex >from_pipe.hex &
reader=$!
"$program" image convert "$samples/firmware.hex" -o pipe.hex
check "fifo: exit 0" [ $? -eq 0 ]
wait "$reader"
check "fifo: still a fifo" [ -p pipe.hex ]
check "fifo: reader got the text" cmp -s from_pipe.hex expected.hex
"$program" image convert "$samples/firmware.hex" -o /dev/null --out-format ihex
check "/dev/null: exit 0" [ $? -eq 0 ]
check "/dev/null: still a device" [ -c /dev/null ]
"$program" image convert "$samples/firmware.hex" -o /dev/full --out-format ihex 2>full.err
check "/dev/full: exit 2" [ $? -eq 2 ]
check "/dev/full: says why" grep -q "No space left" full.err

# A replaced file keeps its mode, and its owner where we may give it.
echo old >owned.hex
chmod 640 owned.hex
if [ "$(id -u)" -eq 0 ]; then chown 1234:5678 owned.hex; fi
before=$(stat -c '%u:%g %a' owned.hex)
"$program" image convert "$samples/firmware.hex" -o owned.hex
check "replaced: same owner and mode" [ "$(stat -c '%u:%g %a' owned.hex)" = "$before" ]
check "replaced: new text" cmp -s owned.hex expected.hex

# Stopped by the file size limit: exit 2, old file intact, nothing left.
head -c 4000000 /dev/zero >big.bin
cp expected.hex limited.hex
(ulimit -f 1000 && exec "$program" image convert big.bin -o limited.hex) 2>limit.err
check "file size limit: exit 2" [ $? -eq 2 ]
check "file size limit: says why" grep -q "File too large" limit.err
check "file size limit: old file intact" cmp -s limited.hex expected.hex
check "file size limit: no temporary file" no_temporary_files

# A full disk (a small tmpfs, where this user may mount one).
mkdir small
if mount -t tmpfs -o size=256k tmpfs small 2>/dev/null; then
  cp expected.hex small/full.hex
  "$program" image convert big.bin -o small/full.hex 2>disk.err
  check "full disk: exit 2" [ $? -eq 2 ]
  check "full disk: says why" grep -q "No space left" disk.err
  check "full disk: old file intact" cmp -s small/full.hex expected.hex
  check "full disk: no temporary file" [ "$(ls small)" = full.hex ]
  umount small
else
  echo "skipped: a full disk (cannot mount a tmpfs here)"
fi

# A signal during the write: the program is stopped once its temporary file
# exists, gets the signal, and goes on to notice it.
head -c 60000000 /dev/zero >huge.bin
for signal in TERM INT; do
  cp expected.hex signalled.hex
  "$program" image convert huge.bin -o signalled.hex 2>signal.err &
  writer=$!
  for _ in $(seq 1 2000); do
    [ -n "$(find . -name 'signalled.hex.tmp-*')" ] && break
    sleep 0.005
  done
  kill -STOP "$writer"
  kill -"$signal" "$writer"
  kill -CONT "$writer"
  wait "$writer"
  status=$?
  check "SIG$signal: exit 2 (got $status)" [ "$status" -eq 2 ]
  check "SIG$signal: says why" grep -q "interrupted by SIG$signal" signal.err
  check "SIG$signal: old file intact" cmp -s signalled.hex expected.hex
  check "SIG$signal: no temporary file" no_temporary_files
done

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
