# A loop through 100000 animals: a1 has sire a100000, a2 has sire a1, and so on.
seq 1 100000 | awk '{ print "a" $1, "a" ($1 > 1 ? $1 - 1 : 100000), "0" }' > loop.txt
