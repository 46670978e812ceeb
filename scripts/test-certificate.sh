#!/bin/bash
# Makes a throwaway code-signing certificate for the test command's signed
# release, in FOLDER (first argument): ca.pem, a root of its own that nothing
# else trusts, and signer.p12, the signing key and its certificate issued by
# that root, with the password PASSWORD (second argument). Made anew each
# time; its keys sign nothing that ships.
set -eu
folder=$1 password=$2
rm -rf "$folder"
mkdir -p "$folder"
cd "$folder"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throwaway test root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Throwaway test signer" 2>/dev/null
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature extendedKeyUsage=codeSigning >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -set_serial 1 -days 2 -extfile signer.ext -out signer.pem \
  2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout "pass:$password" -out signer.p12
