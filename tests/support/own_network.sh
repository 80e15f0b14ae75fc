#!/bin/sh
# Runs a test program in a network namespace of its own with only its
# loopback up: the port 1609 of every program it starts is then its own, so
# such tests can run at the same time. ctest starts the end-to-end tests
# through it (tests/e2e/CMakeLists.txt), as root only.
#   own_network.sh PROGRAM [ARGS...]
exec unshare --net -- sh -c 'ip link set lo up && exec "$@"' own_network "$@"
