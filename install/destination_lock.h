#pragma once
// One installer at a time per destination: a run holds a lock on a hidden file of the destination,
// ".zephra-lock", which the system drops when the process ends, so a killed run never blocks the
// next. The file is the same however the destination is spelled or reached.
#include <string>

// Takes the lock on the destination folder dest (with its trailing separator), giving up one held
// on another folder. False only when another installer holds it; a folder that does not exist yet
// or cannot hold the file is not locked, and the run goes on.
bool lock_destination(const std::string& dest);
// The destination locked was renamed: it is now dest.
void destination_lock_moved(const std::string& dest);
// Removes the lock file and drops the lock.
void unlock_destination();
// What a run that finds dest locked tells the user.
std::string destination_busy_message(const std::string& dest);
