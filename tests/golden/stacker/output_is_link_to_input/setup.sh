ln -s ped.txt link.txt
