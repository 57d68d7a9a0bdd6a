// Where the POSIX image save meets the system at the steps that make it safe, so that tests can
// watch and provoke them: the image reaching the disk before it is moved into place, and the
// move that must never replace a file that appeared in the meantime. Each returns 0 or an errno.
#pragma once

namespace dimmwand {

struct SaveCalls {
  int (*sync)(int fd);                                    // the temporary file to the disk
  int (*replace)(const char* temp, const char* target);   // into place over what stands there
  int (*move_new)(const char* temp, const char* target);  // into place, failing with EEXIST
};

// The calls the saves use; tests may swap them and must put them back.
SaveCalls& save_calls();

}  // namespace dimmwand
