mkdir results
ln -s results/out.txt link.txt  # results/out.txt does not exist yet
