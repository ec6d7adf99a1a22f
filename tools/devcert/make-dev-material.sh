#!/usr/bin/env bash
# Makes the build tree's development material once: a certificate authority, the stand-in
# service's certificate for 127.0.0.1 and localhost, an Ed25519 update-signing key, and the
# development team that seals the bundles: an Ed25519 team key and a ten-character identifier.
# Nothing here is ever committed or copied into a bundle.
set -euo pipefail
out=$1
mkdir -p "$out"
chmod 700 "$out"
cd "$out"

if [ ! -s ca.pem ] || [ ! -s server.pem ] || [ ! -s server.key ]; then
  rm -f ca.key ca.pem server.key server.csr server.pem
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
    -keyout ca.key -out ca.pem -days 3650 -subj "/CN=Orlith Development Authority" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    2>/dev/null
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
    -keyout server.key -out server.csr -subj "/CN=127.0.0.1" 2>/dev/null
  cat > server.ext <<'EXT'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=serverAuth
subjectAltName=IP:127.0.0.1,DNS:localhost
EXT
  openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
    -out server.pem -days 825 -extfile server.ext 2>/dev/null
  rm -f server.csr server.ext ca.srl
fi

if [ ! -s update-signing.pem ] || [ ! -s update-signing.pub.txt ]; then
  openssl genpkey -algorithm ed25519 -out update-signing.pem
  # The raw 32-byte public key is the last 32 bytes of its DER form.
  openssl pkey -in update-signing.pem -pubout -outform DER | tail -c 32 | base64 -w0 \
    > update-signing.pub.txt
fi
if [ ! -s team-signing.pem ] || [ ! -s team-id.txt ]; then
  openssl genpkey -algorithm ed25519 -out team-signing.pem
  # Ten characters of [0-9A-F], a subset of the identifier alphabet [0-9A-Z].
  openssl rand -hex 5 | tr 'a-f' 'A-F' | tr -d '\n' > team-id.txt
fi
chmod 600 ./*.key ./*.pem
