ln -s out.txt link.txt  # out.txt does not exist yet
