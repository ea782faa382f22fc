#!/bin/sh
# Compiler launcher of the fuzz targets: runs the compiler with every path into
# the checkout written relative to the build folder. The sanitizers build each
# source's path into the binary whatever -ffile-prefix-map says, and a path of
# another length moves the binary's constants, which changes what a fixed fuzzing
# run explores; relative paths make one binary from every clone.
root="$1"
shift
compiler="$1"
shift
set --  "$@" END
for arg; do
    shift
    [ "$arg" = END ] && break
    case "$arg" in
    "$root"/*) arg="$(realpath -m -s --relative-to=. "$arg")" ;;
    -I"$root"/*) arg="-I$(realpath -m -s --relative-to=. "${arg#-I}")" ;;
    esac
    set -- "$@" "$arg"
done
exec "$compiler" "$@"
