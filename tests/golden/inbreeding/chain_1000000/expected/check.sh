# The results are too big to keep: their checksums, taken from a run whose
# console output and first and last lines were read by hand.
md5sum --check --quiet <<'EOF'
d354cd7bd253a8289359e80ef0f15853  out.txt
EOF
