#pragma once
// Unpacking an update package: into a staging folder beside the program's files, asking about
// each file the package would replace there, or straight into a folder.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Asked on the worker for each file that already exists: true replaces it.
using ReplaceQuestion = std::function<bool(const std::string& fileName)>;

struct StagedFile {
    std::string name;       // bare, UTF-8: the same in the staging folder and the program's
    bool replaces = false;  // a file of that name is in the program's folder
};

struct StageRules {
    std::string programDir;   // where the files are to go (with a trailing separator)
    ReplaceQuestion ask;      // once for each distinct name there already is
    std::string executable;   // the package's program entry (a bare UTF-8 name), if any
    std::string installedAs;  // the name it takes (empty: its own)
    size_t maxEntries = 10000;
};

enum class StageResult {
    Staged,
    Broken,    // no archive, a bad entry, a file that cannot be written, too many entries
    Declined,  // the user kept the program's own executable: no update
};

// Writes every entry whose stored name holds a dot into stageDir under its bare name (folders
// are not recreated), each file synced, with its stored permissions under the user's umask; the
// program entry is made runnable whatever the packer stored, and takes its installed name.
// Names follow the archive's UTF-8 flag, else are read as GBK; a name with a control
// character, or too long for a file name, breaks the package; of entries sharing a name the
// last one counts. A No to the question leaves that file out, which is no failure, except for
// the executable.
StageResult StagePackage(const std::string& zipName, const std::string& stageDir,
                         const StageRules& rules, std::vector<StagedFile>& staged);

// The same straight into destDir, asking about the files already there; false unless staged.
bool UnzipPackage(const std::string& zipName, const std::string& destDir,
                  const ReplaceQuestion& ask, const std::string& executable = std::string());

// Makes the folder's entries (new names, renames) durable; false when it cannot.
bool SyncFolder(const std::string& dir);
