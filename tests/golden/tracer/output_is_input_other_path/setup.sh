mkdir dir
