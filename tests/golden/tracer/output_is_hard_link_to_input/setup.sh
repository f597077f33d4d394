ln ped.txt hard.txt
