# A single line of descent a million generations deep: g1000000's sire is
# g999999, and so on down to the founder g1.
seq 1 1000000 | awk '{ print "g" $1, ($1 > 1 ? "g" ($1 - 1) : "0"), "0" }' > ped.txt
echo g1000000 > keys.txt
