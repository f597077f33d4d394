#!/bin/sh
# Starts the HALDORIN front end from its installation folder: the dialogs find
# the module programs in modules/ and the help pages in help/ of the working
# directory. "haldorin.sh --enlarged" starts the enlarged build.
here=$(dirname "$(readlink -f "$0")")
cd "$here" || exit 1
program=./HALDORIN
if [ "$1" = "--enlarged" ]; then
    program=./HALDORIN_Enlarged
    shift
fi
exec "$program" "$@"
