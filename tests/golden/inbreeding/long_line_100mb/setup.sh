# Big generated input: HALDOR_SKIP_BIG_INPUTS=1 skips it (slow sanitizer builds).
if [ -n "${HALDOR_SKIP_BIG_INPUTS:-}" ]; then echo "skipped: HALDOR_SKIP_BIG_INPUTS is set"; exit 77; fi
# One line of 100 MB without a delimiter, then an ordinary line.
{ head -c 100000000 /dev/zero | tr "\0" x; printf "\nB 0 0\n"; } > big.txt
