#!/usr/bin/env bash
# Makes the client tests' TLS material (valid for 100 years): a test CA, a
# server certificate for localhost/127.0.0.1 signed by it, one signed by it for
# another name, and an unrelated CA. Run from this folder.
set -euo pipefail
days=36500
openssl req -x509 -newkey rsa:2048 -nodes -days $days -subj "/CN=KVR test CA" \
    -keyout ca.key -out ca.pem
openssl req -x509 -newkey rsa:2048 -nodes -days $days -subj "/CN=KVR other CA" \
    -keyout other-ca.key -out other-ca.pem
sign() { # name subjectAltName
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$1" -keyout "$1.key" -out "$1.csr"
    openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days $days \
        -extfile <(printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\n' "$2") -out "$1.pem"
    rm "$1.csr"
}
sign server "DNS:localhost,IP:127.0.0.1"
sign other-name "DNS:elsewhere.invalid"
rm -f ca.srl ca.key other-ca.key
