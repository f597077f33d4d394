# A result name of 250 characters, near the 255 a file name may have: its
# temporary file still fits. The result, read by hand, has this checksum.
md5sum --check --quiet <<EOF
217420ebc24039d308030746219570fa  oooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooo
EOF
