#pragma once
// Large archives are downloaded into a hidden folder of the destination, ".zephra-partial",
// named after the file's signature and version, with the answer's validator (ETag or
// Last-Modified) in a side file beside each. A download cut off (a mirror that failed, the
// program killed or closed) is continued there by the next try of this run or a later one.
#include <string>

#include "install/directory.h"
#include "net/http_client.h"

// Archives catalogued above this size (in kilobytes of 1000 bytes) are continued when cut off.
constexpr float kResumableArchiveKB = 4000.0f;

// The hidden folder of the destination holding partial archives, with a trailing separator.
std::string partial_folder();
// The partial archive of v in that folder, and its side file.
std::string partial_archive(const file_version_struct& v);
std::string partial_validator_file(const file_version_struct& v);

// Where stream's download of v is written: the partial archive of a large file, else own (the
// stream's temporary archive). At the start of a request (starting true) it also fills resume:
// the bytes an earlier try left, when they can be continued (a partial that cannot is dropped),
// and the side file that keeps the answer's validator. A partial another stream began is left to it.
std::string download_target(int stream, const file_version_struct& v, const std::string& own, bool starting,
                            range_start& resume);
// Removes the folder of partial archives with everything in it: once a pass is complete, and
// when the disk is too full to go on, so that a run after space was freed finds it all free.
void remove_partial_folder();
// The bytes the partial archives of the destination hold: space that is the installer's to free.
long long partial_bytes_held();
