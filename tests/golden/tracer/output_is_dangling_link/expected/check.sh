# The result went where the link points, as writing through the link would
# put it, and the link is still a link.
[ -L link.txt ] && [ -f results/out.txt ] && cmp -s link.txt results/out.txt
