#!/usr/bin/env bash
# A throwaway PKI for rehearsing Modbus/TCP Security on this machine: a CA, a device
# certificate for localhost and 127.0.0.1, and client certificates carrying the roles
# "operator" and "engineer" (and one without a role). For rehearsals only: a plant's keys and
# certificates come from the plant's own PKI, never from this script.
#
#   examples/make-test-pki.sh DIR        # then see the commands it prints
set -euo pipefail

dir=${1:?usage: make-test-pki.sh DIR}
days=${DAYS:-30}
role_oid=1.3.6.1.4.1.50316.802.1
mkdir -p "$dir"
cd "$dir"
umask 077

key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key" 2>/dev/null; }

key ca
openssl req -x509 -new -key ca.key -out ca.pem -days "$days" -subj "/CN=Rehearsal CA/O=Vornak" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign,cRLSign

# NAME SUBJECT EXTENSIONS: a certificate signed by the CA.
cert() {
    key "$1"
    openssl req -new -key "$1.key" -out "$1.csr" -subj "$2"
    printf '%s\n' "$3" > "$1.ext"
    openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -out "$1.pem" \
        -days "$days" -extfile "$1.ext" 2>/dev/null
    rm -f "$1.csr" "$1.ext"
}

cert device "/CN=localhost/O=Vornak" \
    "subjectAltName=DNS:localhost,IP:127.0.0.1
extendedKeyUsage=serverAuth"
for role in operator engineer; do
    cert "$role" "/CN=$role/O=Vornak" \
        "extendedKeyUsage=clientAuth
$role_oid=ASN1:UTF8String:$role"
done
cert plain "/CN=plain/O=Vornak" "extendedKeyUsage=clientAuth"
rm -f ca.srl

cat <<TEXT
Made in $dir: ca.pem, device.pem/.key, operator.pem/.key, engineer.pem/.key, plain.pem/.key
(valid $days days, keys readable by you only). Try:

  vornak-slave --config examples/secure-plant.toml --tls 8020 --cert $dir/device.pem \\
      --key $dir/device.key --ca $dir/ca.pem
  vornak-poll -m tls --cert $dir/operator.pem --key $dir/operator.key --ca $dir/ca.pem \\
      --tls-info --map examples/meter.toml localhost:8020
TEXT
