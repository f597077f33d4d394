# The results are too big to keep: their checksums, taken from a run whose
# console output and first and last lines were read by hand.
md5sum --check --quiet <<'EOF'
d41d8cd98f00b204e9800998ecf8427e  out.txt
8e67342b27d2ea2cd117b06ef48e5894  Tavisk.err
EOF
