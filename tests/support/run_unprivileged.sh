#!/bin/sh
# Runs a test as user nobody (with a home) when started as root, so that file permissions bite.
set -eu
[ "$(id -u)" -ne 0 ] && exec "$@"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
chown nobody "$home"
HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$home \
    setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all "$@"
