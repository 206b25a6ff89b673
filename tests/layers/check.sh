#!/bin/sh
# Usage: check.sh BUILD_DIR
# For each pair of sources of a layer, one that includes its own layer's headers and those
# of the layers below must compile, one that includes a higher layer's header must fail to
# compile for want of that header: the working list against the window, the documents'
# readers against the extraction.
build=$1

# check_layer ALLOWED_TARGET VIOLATION_TARGET MISSING_HEADER_PATTERN WHAT
check_layer() {
    if ! out=$(cmake --build "$build" --target "$1" 2>&1); then
        echo "$out"
        echo "a source of $4 that includes its own layer's headers does not build" >&2
        exit 1
    fi
    if out=$(cmake --build "$build" --target "$2" 2>&1); then
        echo "a source of $4 that includes a higher layer's header builds" >&2
        exit 1
    fi
    if ! echo "$out" | grep -Eq "$3.*(No such file|not found)"; then
        echo "$out"
        echo "the build of $4 failed, but not for the missing header" >&2
        exit 1
    fi
}

check_layer layering_allowed layering_violation 'app/mainwindow\.h' "the working list"
check_layer layering_documents_allowed layering_documents_violation 'extract/extraction\.h' \
    "the documents' readers"
echo "the window's header is out of reach of the working list, the extraction's of the documents' readers"
