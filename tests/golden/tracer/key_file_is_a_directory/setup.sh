mkdir keys
