#!/bin/sh
# Prints lighttpd configuration for the optional settings of lighttpd.conf (see there):
# HTTP_NAMES, HTTP_USER_FILE, HTTP_TLS_CERT and HTTP_TLS_KEY. lighttpd.conf includes its output.
# POSIX sh and sed only, as on the device. Anything it cannot use ends it with a message on
# standard error and status 1, and lighttpd then refuses to start: a security setting that was
# asked for is never dropped silently.
set -eu

refuse() {
  echo "lighttpd-optional.sh: $*" >&2
  exit 1
}

# A file name goes between double quotes in the configuration.
quotable() {
  case $2 in
    *'"'* | *\\* | *'
'*) refuse "$1 holds a character that cannot be quoted: $2" ;;
  esac
}

# Host names only (letters, digits, hyphens, dots between labels), so a name can become part of
# a pattern with its dots escaped and nothing else to escape.
names=
for name in ${HTTP_NAMES:-}; do
  echo "$name" | grep -Eqx '[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*' ||
    refuse "HTTP_NAMES: not a host name: $name"
  names="$names|$(echo "$name" | sed 's/\./\\./g')"
done
echo "var.device_names = \"$names\""

if [ -n "${HTTP_USER_FILE:-}" ]; then
  # The file may come later (the daemon writes it); until then nobody gets in.
  quotable HTTP_USER_FILE "$HTTP_USER_FILE"
  cat <<EOF
server.modules += ( "mod_auth", "mod_authn_file" )
auth.backend = "htdigest"
auth.backend.htdigest.userfile = "$HTTP_USER_FILE"
auth.require = ( "" => ( "method" => "digest", "realm" => "GNSS receiver", "require" => "valid-user" ) )
EOF
fi

if [ -n "${HTTP_TLS_CERT:-}" ]; then
  quotable HTTP_TLS_CERT "$HTTP_TLS_CERT"
  cat <<EOF
server.modules += ( "mod_openssl" )
ssl.engine = "enable"
ssl.pemfile = "$HTTP_TLS_CERT"
EOF
  if [ -n "${HTTP_TLS_KEY:-}" ]; then
    quotable HTTP_TLS_KEY "$HTTP_TLS_KEY"
    echo "ssl.privkey = \"$HTTP_TLS_KEY\""
  fi
elif [ -n "${HTTP_TLS_KEY:-}" ]; then
  refuse "HTTP_TLS_KEY is set without HTTP_TLS_CERT"
fi
