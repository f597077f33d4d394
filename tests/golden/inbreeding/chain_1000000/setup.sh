# Big generated input: HALDOR_SKIP_BIG_INPUTS=1 skips it (slow sanitizer builds).
if [ -n "${HALDOR_SKIP_BIG_INPUTS:-}" ]; then echo "skipped: HALDOR_SKIP_BIG_INPUTS is set"; exit 77; fi
# A single line of descent a million generations deep: g1000000's sire is
# g999999, and so on down to the founder g1.
seq 1 1000000 | awk '{ print "g" $1, ($1 > 1 ? "g" ($1 - 1) : "0"), "0" }' > chain.txt
