# A result name of 250 characters, near the 255 a file name may have: its
# temporary file still fits. The result, read by hand, has this checksum.
md5sum --check --quiet <<EOF
516b27463e70c11cfb80824534f08a96  oooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooo
EOF
