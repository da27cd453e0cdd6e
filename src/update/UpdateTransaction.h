#pragma once
// An update of the program's folder as one transaction, whatever happens to the process or the
// disk. Its work folder, <program folder>/.quellot-update/, holds the download, the staged files
// and, once the commit begins, a journal naming every file it puts in place and a hard link to
// each file it replaces. The new files go in by rename, so every name always holds a whole
// file; undoing renames the links back. The journal goes only once the new program has said it
// is up (the ready mark), and with it the update is final.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Unzip.h"

class UpdateTransaction {
public:
    explicit UpdateTransaction(std::string programDir);
    ~UpdateTransaction();
    UpdateTransaction(const UpdateTransaction&) = delete;
    UpdateTransaction& operator=(const UpdateTransaction&) = delete;

    // Takes the folder for this process (no other start undoes the update meanwhile), finishes
    // or undoes what an earlier run left, and makes the work folder. False when the folder
    // cannot be written or another process is updating it.
    bool Open();
    // Free space on the program's file system, in bytes.
    uint64_t FreeSpace() const;
    std::string PackagePath() const { return FWork + "package.zip"; }
    std::string StageDir() const { return FWork + "stage/"; }

    // Puts every staged file in place, or none: false after undoing whatever it had done. The
    // hook is called after each file is in place (tests stop the process there).
    bool Commit(const std::vector<StagedFile>& files,
                const std::function<void()>& afterEach = nullptr);
    // The new program runs: what it replaced goes, the update is final.
    void Finish();
    // Back to the folder exactly as it was before the update began.
    void RollBack();

private:
    std::string FProgramDir, FWork;
    int FLock = -1;
};

// The folder an update works in, and the mark the new program leaves there once it is up.
std::string UpdateWorkDir(const std::string& programDir);
std::string UpdateReadyMark(const std::string& programDir);

// At every start, before the window: an update a crash interrupted is completed (its new
// program had said it was up) or undone, and what earlier runs left is removed (the work
// folder, parts of files, private temporary folders of earlier versions). Nothing happens
// while another process holds the folder for an update.
void RecoverUpdate(const std::string& programDir, const std::string& tempDir);
// The new program, started by an update to prove it runs, says it is up; false when no update
// is waiting for it.
bool MarkUpdateReady(const std::string& programDir);
