#!/bin/sh
# Usage: check.sh BUILD_DIR
# A source of the working list's layer that includes the window's header must fail to
# compile for want of that header, while one that includes its own layer's and the base's
# headers compiles.
build=$1
if ! out=$(cmake --build "$build" --target layering_allowed 2>&1); then
    echo "$out"
    echo "a source that includes its own layer's headers does not build" >&2
    exit 1
fi
if out=$(cmake --build "$build" --target layering_violation 2>&1); then
    echo "a source that includes a higher layer's header builds" >&2
    exit 1
fi
if ! echo "$out" | grep -Eq "app/mainwindow\.h.*(No such file|not found)"; then
    echo "$out"
    echo "the build failed, but not for the missing header" >&2
    exit 1
fi
if ! out=$(cmake --build "$build" --target layering_documents_allowed 2>&1); then
    echo "$out"
    echo "a document reader's source that includes its own and the working list's headers does not build" >&2
    exit 1
fi
if out=$(cmake --build "$build" --target layering_documents_violation 2>&1); then
    echo "a document reader's source that includes the extraction's header builds" >&2
    exit 1
fi
if ! echo "$out" | grep -Eq "extract/extraction\.h.*(No such file|not found)"; then
    echo "$out"
    echo "the build failed, but not for the missing header" >&2
    exit 1
fi
echo "the window's header is out of reach of the working list, the extraction's of the documents' readers"
