# The public key that update signatures are checked against, compiled into
# the program from a 64-byte file (X||Y of an ECDSA P-256 key).
set(PAGEKEEP_DEVELOPMENT_UPDATE_KEY ${PROJECT_SOURCE_DIR}/keys/development/update-public.key)
set(PAGEKEEP_UPDATE_KEY ${PAGEKEEP_DEVELOPMENT_UPDATE_KEY} CACHE FILEPATH
    "64-byte public key (X||Y, ECDSA P-256) that signed updates must match")
# The tests sign what they serve with the private half of the compiled key.
set(PAGEKEEP_UPDATE_TEST_SIGNING_KEY ${PROJECT_SOURCE_DIR}/keys/development/update-private.pem
    CACHE FILEPATH "PKCS#8 PEM private key the tests sign served updates with")

if(NOT EXISTS "${PAGEKEEP_UPDATE_KEY}")
  message(FATAL_ERROR "PAGEKEEP_UPDATE_KEY: no such file: ${PAGEKEEP_UPDATE_KEY}")
endif()
file(READ "${PAGEKEEP_UPDATE_KEY}" _update_key_hex HEX)
string(LENGTH "${_update_key_hex}" _update_key_length)
if(NOT _update_key_length EQUAL 128)
  message(FATAL_ERROR "PAGEKEEP_UPDATE_KEY must hold exactly 64 bytes (X||Y): ${PAGEKEEP_UPDATE_KEY}")
endif()

# Everybody holds the development key's private half, so a program that
# trusts it may only ask a server on this machine.
file(READ "${PAGEKEEP_DEVELOPMENT_UPDATE_KEY}" _development_key_hex HEX)
string(REGEX MATCH "^https?://(127\\.[0-9]+\\.[0-9]+\\.[0-9]+|localhost|\\[::1\\])(:[0-9]+)?/"
       _update_url_is_loopback "${PAGEKEEP_PROGRAM_UPDATE_URL}")
if(_update_key_hex STREQUAL _development_key_hex AND NOT _update_url_is_loopback)
  message(FATAL_ERROR
    "The update URL ${PAGEKEEP_PROGRAM_UPDATE_URL} is not on this machine, but PAGEKEEP_UPDATE_KEY "
    "is the development key, whose private half is in the repository: anyone could sign an "
    "update for it. Make a key pair of your own with tools/sign/pagekeep-sign keygen and pass "
    "its public half with -DPAGEKEEP_UPDATE_KEY=...")
endif()

string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," PAGEKEEP_UPDATE_KEY_BYTES "${_update_key_hex}")
set(PAGEKEEP_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/src/update/UpdatePublicKey.h.in
               ${PAGEKEEP_GENERATED_DIR}/update/UpdatePublicKey.h @ONLY)
