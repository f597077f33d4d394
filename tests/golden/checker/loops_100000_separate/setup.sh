# Big generated input: HALDOR_SKIP_BIG_INPUTS=1 skips it (slow sanitizer builds).
if [ -n "${HALDOR_SKIP_BIG_INPUTS:-}" ]; then echo "skipped: HALDOR_SKIP_BIG_INPUTS is set"; exit 77; fi
# 100000 loops of two animals each: pN has dam qN and qN has sire pN.
seq 1 100000 | awk '{ print "p" $1, "0", "q" $1; print "q" $1, "p" $1, "0" }' > loops.txt
