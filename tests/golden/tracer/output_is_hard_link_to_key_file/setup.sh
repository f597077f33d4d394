ln keys.txt hard.txt
