# The section: one loop of a million animals, closed by the whole chain
# a1 -> a1000000 -> a999999 -> ... -> a2 -> a1 at lines 1, 1000000, ..., 2.
set -e
sed -n '/^Pedigree loops$/,$p' out.txt > section.txt
[ "$(wc -l < section.txt)" = 6 ]
[ "$(sed -n 3p section.txt)" = "Loop 1 : 1000000 animals" ]
[ "$(sed -n 6p section.txt)" = "Number of pedigree loops : 1" ]
awk 'BEGIN { printf "  a1"; for (i = 1000000; i >= 2; i--) printf " -> a%d", i; print " -> a1" }' > chain.txt
awk 'BEGIN { printf "  at lines 1"; for (i = 1000000; i >= 2; i--) printf ", %d", i; print "" }' > lines.txt
sed -n 4p section.txt | cmp -s - chain.txt
sed -n 5p section.txt | cmp -s - lines.txt
# Everything above the section is the report without -l.
[ "$(grep -c '^Line ' out.txt)" = 0 ]
rm -f section.txt chain.txt lines.txt
