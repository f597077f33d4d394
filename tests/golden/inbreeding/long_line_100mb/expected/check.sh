# The results are too big to keep: their checksums, taken from a run whose
# console output and first and last lines were read by hand.
md5sum --check --quiet <<'EOF'
8541e2d08bb97ebf09d0d28225fe247c  out.txt
EOF
