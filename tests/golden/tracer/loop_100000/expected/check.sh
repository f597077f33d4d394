# The results are too big to keep: their checksums, taken from a run whose
# console output and first and last lines were read by hand.
md5sum --check --quiet <<'EOF'
57f123aebc218e7392afb87ce50ba7df  out.txt
EOF
