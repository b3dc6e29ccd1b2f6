# Writes the definition of release_keys_text() for the installer built for tests: the two public
# keys made in DIR, so that a release signed with either of them is taken.
file(READ "${DIR}/vendor.public" vendor)
file(READ "${DIR}/rotated.public" rotated)
string(STRIP "${vendor}" vendor)
string(STRIP "${rotated}" rotated)
file(WRITE "${DIR}/release_keys_signed.cpp"
  "// Made by the build for tests: the keys of ${DIR}.\n"
  "#include \"install/release_check.h\"\n\n"
  "const char* release_keys_text() { return \"${vendor},${rotated}\"; }\n")
