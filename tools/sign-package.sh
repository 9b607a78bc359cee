#!/usr/bin/env bash
# Signs every .EXE, .DLL and .MSI under each directory given, and each such
# file given, in place with an Authenticode SHA-256 signature (osslsigncode).
# Any other file given (a checksum file) gets a detached signature beside it,
# FILE.p7s: CMS (PKCS#7) in DER, SHA-256, with the signing certificate and
# no signed attributes, so that one key signs the same bytes the same way.
# The certificate and its key come from a PKCS#12 file, its password from
# --password-file FILE (the first line) or else from standard input, never
# from the command line. Prints the certificate's thumbprint (SHA-1, as
# Windows shows it), which the release publishes.
# With --timestamp URL each Authenticode signature is time-stamped there
# (RFC 3161).
#   tools/sign-package.sh CERT.pfx [--password-file FILE] [--timestamp URL] DIR|FILE...
set -euo pipefail

usage() {
  echo "usage: sign-package.sh CERT.pfx [--password-file FILE] [--timestamp URL] DIR|FILE..." >&2
  exit 2
}

[ $# -ge 2 ] || usage
cert=$1
shift
password_file=""
timestamp=()
dirs=()
while [ $# -gt 0 ]; do
  case $1 in
    --password-file) [ $# -ge 2 ] || usage; password_file=$2; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp=(-ts "$2"); shift 2 ;;
    -*) usage ;;
    *) dirs+=("$1"); shift ;;
  esac
done
[ ${#dirs[@]} -gt 0 ] || usage
[ -r "$cert" ] || { echo "sign-package: cannot read $cert" >&2; exit 1; }

password=""
if [ -n "$password_file" ]; then
  [ -r "$password_file" ] || { echo "sign-package: cannot read $password_file" >&2; exit 1; }
  IFS= read -r password <"$password_file" || true
elif [ -t 0 ]; then
  IFS= read -rs -p "Password of $cert: " password || true
  echo >&2
else
  IFS= read -r password || true
fi

# The certificate or the key of the PKCS#12 file in PEM, the password
# through a pipe.
pem() {
  openssl pkcs12 -in "$cert" -passin file:<(printf '%s\n' "$password") "$@" 2>/dev/null
}
thumbprint=$(pem -nokeys -clcerts | openssl x509 -noout -fingerprint -sha1 2>/dev/null) ||
  { echo "sign-package: cannot read the certificate in $cert" >&2; exit 1; }
thumbprint=${thumbprint#*=}
thumbprint=${thumbprint//:/}

count=0
for dir in "${dirs[@]}"; do
  case ${dir,,} in
    *.exe | *.dll | *.msi) ;;
    *)
      if [ -f "$dir" ]; then
        rm -f "$dir.p7s"
        if ! log=$(openssl cms -sign -binary -noattr -md sha256 -outform DER -in "$dir" \
          -out "$dir.p7s" -signer <(pem -nokeys -clcerts) -inkey <(pem -nocerts -nodes) 2>&1); then
          rm -f "$dir.p7s"
          echo "sign-package: $dir: signing failed" >&2
          echo "$log" >&2
          exit 1
        fi
        count=$((count + 1))
        continue
      fi
      ;;
  esac
  while IFS= read -r -d '' file; do
    rm -f "$file.signed"
    # The password reaches osslsigncode through a pipe, not a file or argv.
    if ! log=$(osslsigncode sign -pkcs12 "$cert" -readpass <(printf '%s' "$password") \
      -h sha256 -n "Orvane Quillon 2 software" "${timestamp[@]}" \
      -in "$file" -out "$file.signed" 2>&1); then
      rm -f "$file.signed"
      echo "sign-package: $file: signing failed" >&2
      echo "$log" >&2
      exit 1
    fi
    mv "$file.signed" "$file"
    count=$((count + 1))
  done < <(find "$dir" -type f \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.msi' \) -print0 |
    LC_ALL=C sort -z)
done
[ "$count" -gt 0 ] || { echo "sign-package: nothing to sign in ${dirs[*]}" >&2; exit 1; }
echo "sign-package: signed $count files with the certificate of thumbprint $thumbprint"
