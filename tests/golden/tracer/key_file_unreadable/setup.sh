chmod 000 keys.txt
# A file mode does not stop root from reading: skip the case then.
if cat keys.txt > /dev/null 2>&1; then echo "skipped: keys.txt is still readable (running as root?)"; exit 77; fi
