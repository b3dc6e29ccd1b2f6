#pragma once
// What the fuzz targets share: a private scratch folder, a walk over a folder's tree, and
// alerts that never show a window nor end the process.
#include <functional>
#include <string>
#include <vector>

namespace fuzz_support {

// A folder made once per process under the system's temporary folder, ending with '/'.
const std::string& scratch_folder();

// Removes everything inside folder (not the folder itself); symbolic links are removed, never followed.
void empty_folder(const std::string& folder);

// Every entry below folder as a path relative to it ("a", "a/b"), folders included, links not followed.
std::vector<std::string> tree_of(const std::string& folder);

// Thrown where a fatal alert would end the program, so the next input can run.
struct fatal_alert {};

// Alerts go nowhere; a fatal one throws fatal_alert. Web addresses are not opened.
void quiet_alerts();

// Runs step; false when it raised a fatal alert, which is then cleared so the next input starts afresh.
bool runs_to_the_end(const std::function<void()>& step);

}  // namespace fuzz_support
