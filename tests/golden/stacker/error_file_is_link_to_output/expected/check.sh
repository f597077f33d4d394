# The link is still a link.
[ -L link.txt ]
