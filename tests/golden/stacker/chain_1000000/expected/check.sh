# The results are too big to keep: their checksums, taken from a run whose
# console output and first and last lines were read by hand.
md5sum --check --quiet <<'EOF'
27a158767d08117c5bed53c8b4bd74c3  out.txt
42125dfca8b13fb9d985235afb0fb8d9  Tavisk.err
EOF
