# One block of three lines per loop, in the order of the files' lines.
set -e
sed -n '/^Pedigree loops$/,$p' out.txt > section.txt
seq 1 100000 | awk '{ print "Loop " $1 " : 2 animals"; print "  p" $1 " -> q" $1 " -> p" $1;
                      print "  at lines " (2 * $1 - 1) ", " (2 * $1) }' > blocks.txt
sed -n '3,300002p' section.txt | cmp -s - blocks.txt
[ "$(sed -n 300003p section.txt)" = "Number of pedigree loops : 100000" ]
[ "$(wc -l < section.txt)" = 300003 ]
rm -f section.txt blocks.txt
