#!/bin/sh
# Runs a test as an unprivileged user when started as root (as CI does), so
# that file permissions bite; runs it as it is otherwise. The user gets a
# home of its own.
set -eu
if [ "$(id -u)" -ne 0 ]; then
    exec "$@"
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
chown nobody "$home"
HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$home \
    setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all "$@"
