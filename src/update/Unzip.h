#pragma once
// Unpacking an update package into the program's folder.

#include <functional>
#include <string>

// Asked on the worker for each file that already exists: true replaces it.
using ReplaceQuestion = std::function<bool(const std::string& fileName)>;

// Writes every entry whose stored name holds a dot straight into destDir under its bare name
// (folders are not recreated), with its stored permissions under the user's umask. The entry
// named executable (a bare UTF-8 name) is made runnable, whatever the packer stored. Names
// follow the archive's UTF-8 flag, else are read as GBK. False for a broken archive or a file
// that cannot be written; a No to the question only skips that file.
bool UnzipPackage(const std::string& zipName, const std::string& destDir,
                  const ReplaceQuestion& ask, const std::string& executable = std::string());
