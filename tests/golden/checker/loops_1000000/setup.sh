# Big generated input: HALDOR_SKIP_BIG_INPUTS=1 skips it (slow sanitizer builds).
if [ -n "${HALDOR_SKIP_BIG_INPUTS:-}" ]; then echo "skipped: HALDOR_SKIP_BIG_INPUTS is set"; exit 77; fi
# One loop through a million animals, progeny listed before parents: a1 has
# sire a1000000, a2 has sire a1, and so on; the search goes a million deep.
seq 1 1000000 | awk '{ print "a" $1, "a" ($1 > 1 ? $1 - 1 : 1000000), "0" }' > loop.txt
