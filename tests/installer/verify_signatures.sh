#!/bin/sh
# Checks that every file named after the certificate carries a valid SHA-256 Authenticode
# signature made with that certificate's key.
#   verify_signatures.sh CERT FILE...
set -u
cert=$1
shift
[ $# -gt 0 ] || { echo "no files to check"; exit 1; }
failed=0
for file in "$@"; do
  if ! result=$(osslsigncode verify -CAfile "$cert" -in "$file" 2>&1); then
    echo "$file: not signed, or its signature does not verify"
    echo "$result" | tail -n 5
    failed=1
  elif ! echo "$result" | grep -q "digest algorithm *: SHA256"; then
    echo "$file: not signed with SHA-256"
    failed=1
  fi
done
exit $failed
