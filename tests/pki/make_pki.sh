#!/usr/bin/env bash
# Builds the test PKI into the folder given as $1 (made if missing, emptied first): a root
# in the vendor's shape, an intermediate, signers good and bad, a foreign chain, CRLs and
# detached signatures over a small data file. Private keys stay in that folder; nothing
# here is ever committed. See README.md beside this script for what each file is.
# $2, optional, is the URL folder the chain's CRL distribution points name (default
# http://crl.halvex.example): the README's walk-through points it at its local server.
set -euo pipefail

out=${1:?usage: make_pki.sh OUTPUT_DIR [CRL_BASE_URL]}
crl_base=${2:-http://crl.halvex.example}
crl_base=${crl_base%/}
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -rf "${out:?}"/*
cd "$out"
mkdir -p db

# Fixed key size and digests; 2048-bit keys keep generation quick on a small machine.
newkey() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }

readonly SUBJ_ROOT="/C=US/O=Halvex Systems Incorporated/OU=Halvex Trust Services/CN=Halvex Root CA"
readonly SUBJ_ORVEL_TAIL="/C=US/O=Halvex Systems Incorporated"
readonly OU="Halvex Trust Services"
readonly ROOT_CRL_URL="$crl_base/root.crl"
readonly INTERMEDIATE_CRL_URL="$crl_base/intermediate.crl"
readonly USAGE_OID="1.2.840.774420.1.1.12"

cat >ext.cnf <<EOF
[root]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
crlDistributionPoints = @root_dp
[root_dp]
dirName.1 = root_dp_dir
[root_dp_dir]
C = US
O = Halvex Systems Incorporated
OU = Halvex Trust Services
CN = Halvex Root CA CRL
[intermediate]
basicConstraints = critical, CA:true, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
crlDistributionPoints = URI:$ROOT_CRL_URL
[signer]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning, $USAGE_OID
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
crlDistributionPoints = URI:$INTERMEDIATE_CRL_URL
[signer_dup_dp]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = $USAGE_OID
crlDistributionPoints = URI:$INTERMEDIATE_CRL_URL, URI:$INTERMEDIATE_CRL_URL
[signer_prefix_eku]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning, ${USAGE_OID}3
crlDistributionPoints = URI:$INTERMEDIATE_CRL_URL
[signer_no_eku]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
crlDistributionPoints = URI:$INTERMEDIATE_CRL_URL
[signer_no_dp]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = $USAGE_OID
[signer_oid_in_policy]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
certificatePolicies = $USAGE_OID
crlDistributionPoints = URI:$INTERMEDIATE_CRL_URL
# A CA and nothing more: the foreign root, and the sub-CA under the intermediate.
[bare_ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
[foreign_signer]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = $USAGE_OID
crlDistributionPoints = URI:http://crl.foreign.example/foreign.crl
EOF

# One minimal CA database per issuer, so that revocations and CRLs are the library's own.
ca_conf() {  # name
  mkdir -p "db/$1"
  : >"db/$1/index.txt"
  echo 1000 >"db/$1/serial"
  echo 1000 >"db/$1/crlnumber"
  cat >"db/$1/ca.cnf" <<EOF
[ca]
default_ca = this
[this]
database = $out/db/$1/index.txt
serial = $out/db/$1/serial
crlnumber = $out/db/$1/crlnumber
new_certs_dir = $out/db/$1
certificate = $out/$1.pem
private_key = $out/$1.key
default_md = sha256
default_days = 3650
default_crl_days = 3650
policy = any
unique_subject = no
preserve = yes
copy_extensions = none
[any]
C = optional
O = optional
OU = optional
CN = optional
EOF
}

# issue CA_NAME NEW_NAME SUBJECT EXT_SECTION [extra openssl ca options...]
issue() {
  local ca=$1 name=$2 subj=$3 ext=$4
  shift 4
  newkey "$name.key"
  openssl req -new -key "$name.key" -subj "$subj" -out "db/$name.csr" -multivalue-rdn 2>/dev/null
  openssl ca -batch -config "db/$ca/ca.cnf" -in "db/$name.csr" -out "$name.pem" -notext \
    -extfile ext.cnf -extensions "$ext" -preserveDN "$@" 2>/dev/null
  openssl x509 -in "$name.pem" -outform DER -out "$name.der"
}

selfsign() {  # name subject ext_section
  newkey "$1.key"
  openssl req -new -x509 -key "$1.key" -subj "$2" -days 7300 -sha256 \
    -config ext.cnf -extensions "$3" -out "$1.pem" 2>/dev/null
  openssl x509 -in "$1.pem" -outform DER -out "$1.der"
}

selfsign root "$SUBJ_ROOT" root
ca_conf root
issue root intermediate "/C=US/O=Halvex Systems Incorporated/OU=$OU/CN=Halvex Code Signing CA" \
  intermediate
ca_conf intermediate

signer_subject() {  # CN [OU...]
  local cn=$1
  shift
  local s="/CN=$cn$SUBJ_ORVEL_TAIL"
  for ou in "$@"; do s+="/OU=$ou"; done
  printf '%s' "$s"
}

issue intermediate signer-good "$(signer_subject "Halvex Orvel" "$OU")" signer
issue intermediate signer-other-ou "$(signer_subject "Halvex Orvel" "Halvex Web Services")" signer
issue intermediate signer-two-ou "$(signer_subject "Halvex Orvel" "$OU" "Halvex Web Services")" signer
issue intermediate signer-two-ou-second "$(signer_subject "Halvex Orvel" "Halvex Web Services" "$OU")" signer
issue intermediate signer-cn-case "$(signer_subject "halvex orvel" "$OU")" signer
issue intermediate signer-cn-blank "$(signer_subject "Halvex Orvel " "$OU")" signer
issue intermediate signer-eku-prefix "$(signer_subject "Halvex Orvel" "$OU")" signer_prefix_eku
issue intermediate signer-no-eku "$(signer_subject "Halvex Orvel" "$OU")" signer_no_eku
issue intermediate signer-dup-dp "$(signer_subject "Halvex Orvel" "$OU")" signer_dup_dp
issue intermediate signer-expired "$(signer_subject "Halvex Orvel" "$OU")" signer \
  -startdate 20200101000000Z -enddate 20210101000000Z
issue intermediate signer-revoked "$(signer_subject "Halvex Orvel" "$OU")" signer

# Issued by the root itself and naming no distribution point: a chain without any CRL URL.
issue root signer-nodp "$(signer_subject "Halvex Orvel" "$OU")" signer_no_dp

# A chain under another root, with the signer's names right. Its signer gets the revoked
# signer's serial number so that the foreign CRL below lists that number.
selfsign foreign-root "/C=US/O=Foreign Example Group/CN=Foreign Root CA" bare_ca
ca_conf foreign-root
openssl x509 -in signer-revoked.pem -noout -serial | cut -d= -f2 >db/foreign-root/serial
issue foreign-root signer-foreign "$(signer_subject "Halvex Orvel" "$OU")" foreign_signer

# Chains an attacker builds from what is public. Each signer's own names and usage are right;
# the chain is what is wrong: a CA below the intermediate (whose path length is 0), a leaf
# acting as a CA, and a root and an intermediate shadowed by same-named certificates under
# another key.
issue intermediate sub-ca "/C=US/O=Halvex Systems Incorporated/OU=$OU/CN=Halvex Sub CA" bare_ca
ca_conf sub-ca
issue sub-ca signer-under-sub-ca "$(signer_subject "Halvex Orvel" "$OU")" signer
ca_conf signer-good
issue signer-good signer-under-leaf "$(signer_subject "Halvex Orvel" "$OU")" signer
selfsign shadow-root "$SUBJ_ROOT" root
ca_conf shadow-root
issue shadow-root signer-under-shadow-root "$(signer_subject "Halvex Orvel" "$OU")" signer
issue shadow-root shadow-intermediate \
  "/C=US/O=Halvex Systems Incorporated/OU=$OU/CN=Halvex Code Signing CA" intermediate
ca_conf shadow-intermediate
issue shadow-intermediate signer-under-shadow-intermediate "$(signer_subject "Halvex Orvel" "$OU")" \
  signer
# The usage OID present, but as a certificate policy instead of an extended key usage.
issue intermediate signer-oid-in-policy "$(signer_subject "Halvex Orvel" "$OU")" \
  signer_oid_in_policy

# CRLs. The "before" CRL predates the revocation; the others list signer-revoked.
gencrl() {  # ca out.der [options...]
  local ca=$1 name=$2
  shift 2
  openssl ca -batch -config "db/$ca/ca.cnf" -gencrl -out "db/$name.pem" "$@" 2>/dev/null
  openssl crl -in "db/$name.pem" -outform DER -out "$name"
}
gencrl root crl-root.der
gencrl intermediate crl-intermediate-before.der
openssl ca -batch -config db/intermediate/ca.cnf -revoke signer-revoked.pem \
  -crl_reason keyCompromise 2>/dev/null
gencrl intermediate crl-intermediate.der
gencrl intermediate crl-intermediate-expired.der \
  -crl_lastupdate 200101000000Z -crl_nextupdate 200201000000Z
openssl crl -inform DER -in crl-intermediate.der -outform PEM -out crl-intermediate.pem
cat db/crl-intermediate-before.der.pem db/crl-intermediate.der.pem >crl-two-before-first.pem
cat db/crl-intermediate.der.pem db/crl-intermediate-before.der.pem >crl-two-revoked-first.pem
# The foreign root revokes a certificate of its own with the revoked signer's serial.
openssl ca -batch -config db/foreign-root/ca.cnf -revoke signer-foreign.pem 2>/dev/null
gencrl foreign-root crl-foreign.der
# A listing CRL whose signature no longer matches: the last byte of the signature flipped.
cp crl-intermediate.der crl-intermediate-badsig.der
python3 - crl-intermediate-badsig.der <<'EOF'
import sys
p = sys.argv[1]
b = bytearray(open(p, "rb").read())
b[-1] ^= 0x01
open(p, "wb").write(bytes(b))
EOF
printf '<html><body>Not here</body></html>\n' >crl-not-a-crl.html

# The data file and its one-byte-different twin.
head -c 65536 /dev/urandom >data.bin
cp data.bin data-tampered.bin
python3 - data-tampered.bin <<'EOF'
import sys
p = sys.argv[1]
b = bytearray(open(p, "rb").read())
b[1000] ^= 0x20
open(p, "wb").write(bytes(b))
EOF

sign() {  # signer certfile out [options...]
  local signer=$1 certfile=$2 name=$3
  shift 3
  openssl smime -sign -binary -md sha256 -in data.bin -signer "$signer.pem" -inkey "$signer.key" \
    -certfile "$certfile" -outform DER -out "$name" "$@"
}
for s in good other-ou two-ou two-ou-second cn-case cn-blank eku-prefix no-eku dup-dp expired \
  revoked; do
  sign "signer-$s" intermediate.pem "sig-$s.der"
done
sign signer-nodp root.pem sig-nodp.der
sign signer-foreign foreign-root.pem sig-foreign.der
sign signer-good intermediate.pem sig-no-cert.der -nocerts
sign signer-under-sub-ca <(cat sub-ca.pem intermediate.pem) sig-under-sub-ca.der
sign signer-under-leaf <(cat signer-good.pem intermediate.pem) sig-under-leaf.der
sign signer-under-shadow-root shadow-root.pem sig-under-shadow-root.der
sign signer-under-shadow-intermediate <(cat shadow-intermediate.pem intermediate.pem) \
  sig-under-shadow-intermediate.der
sign signer-oid-in-policy intermediate.pem sig-oid-in-policy.der
# Two signers, the foreign one first or second: every signer must hold.
two_signers() {  # first second out
  openssl smime -sign -binary -md sha256 -in data.bin -signer "$1.pem" -inkey "$1.key" \
    -signer "$2.pem" -inkey "$2.key" -certfile intermediate.pem -outform DER -out "$3"
}
two_signers signer-foreign signer-good sig-foreign-then-good.der
two_signers signer-good signer-foreign sig-good-then-foreign.der
# The good signature cut short by one byte and by half.
head -c "$(($(stat -c %s sig-good.der) - 1))" sig-good.der >sig-short-by-one.der
head -c "$(($(stat -c %s sig-good.der) / 2))" sig-good.der >sig-half.der
openssl pkcs7 -inform DER -in sig-good.der -outform PEM -out sig-good.pem
# A DER PKCS#7 of another content type (enveloped data) addressed to the good signer.
openssl smime -encrypt -binary -aes256 -in data.bin -outform DER -out sig-not-signed.der \
  signer-good.pem

rm -rf db ext.cnf
