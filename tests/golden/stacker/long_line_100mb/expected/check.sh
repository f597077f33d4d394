# The results are too big to keep: their checksums, taken from a run whose
# console output and first and last lines were read by hand.
md5sum --check --quiet <<'EOF'
7f76859790422f763719fd83e5aa84e0  out.txt
d41d8cd98f00b204e9800998ecf8427e  Tavisk.err
EOF
