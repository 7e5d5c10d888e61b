# Shared by the Wine checks (sourced): reads their "--name value" arguments into variables of the
# same name (a dash becomes an underscore), as absolute paths, and stops the script when one of
# the required ones is missing; each except work must be an existing file. --screenshots is
# always allowed.
#   read_arguments SCRIPT "exe probe work" "$@"
read_arguments() {
    local script=$1 required=$2 name
    shift 2
    while [ $# -gt 0 ]; do
        name=${1#--}
        name=${name//-/_}
        if [[ $1 != --* || " $required screenshots " != *" $name "* ]]; then
            echo "unknown argument $1" >&2
            exit 2
        fi
        printf -v "$name" '%s' "$(realpath -m "$2")"
        shift 2
    done
    for name in $required; do
        if [ -z "${!name:-}" ] || { [ "$name" != work ] && [ ! -f "${!name}" ]; }; then
            echo "$script: missing --${name//_/-} (${!name:-unset})" >&2
            exit 2
        fi
    done
}
