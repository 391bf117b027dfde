# Copies the seeds that only this build's test PKI can make into OUT/<target>/: signatures
# that verify against its root, revocation lists its authorities signed, its certificates.
# Seeds made by another PKI would never reach the accepted-signature or matching-list paths.
#   cmake -DPKI=<test PKI folder> -DOUT=<seed folder> -P FuzzSeeds.cmake
if(NOT EXISTS "${PKI}/root.der")
  message(FATAL_ERROR "no test PKI in ${PKI}")
endif()
file(GLOB signatures "${PKI}/sig-*")
file(GLOB lists "${PKI}/crl-*")
file(GLOB certificates "${PKI}/*.der")
list(FILTER certificates EXCLUDE REGEX "/(sig|crl)-[^/]*$")
foreach(pair "signature;${signatures}" "crl;${lists}" "cert_extensions;${certificates}")
  list(POP_FRONT pair target)
  file(REMOVE_RECURSE "${OUT}/${target}")
  file(MAKE_DIRECTORY "${OUT}/${target}")
  file(COPY ${pair} DESTINATION "${OUT}/${target}")
endforeach()
