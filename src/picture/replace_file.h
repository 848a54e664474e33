#pragma once
// Writing a whole file so that the target is either the complete new content or left
// exactly as it was: the bytes go to a temporary file beside the target, which is flushed
// to disk and only then renamed over the target.

#include <QString>
#include <cstddef>

namespace glimmerby {

// Returns 0 on success or the errno of the first failing step. On failure the temporary
// file is removed and an existing target is untouched. A new file gets the usual
// permissions (0666 less the umask); a replaced file keeps its own.
//
// With ReplaceMode::NoReplace an existing entry under the name (a file, a link, anything)
// is never replaced: the result is then EEXIST and nothing is left behind.
enum class ReplaceMode { Replace, NoReplace };
int ReplaceFileContents(const QString &path, const unsigned char *data, std::size_t size,
                        ReplaceMode mode = ReplaceMode::Replace);

} // namespace glimmerby
