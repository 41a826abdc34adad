#pragma once

#include <string>

// An output written under a temporary name beside its destination and renamed
// into place only when complete, so a failure or an interruption never leaves
// a partial file under the real name.
class AtomicOutputFile
{
public:
    explicit AtomicOutputFile(std::string destination);
    ~AtomicOutputFile();  // removes the temporary file unless committed

    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    const std::string& temporaryPath() const { return temporary; }
    const std::string& destinationPath() const { return destination; }

    // Renames the temporary file to the destination; false (with a reason) on failure.
    bool commit(std::string& error);

private:
    std::string destination;
    std::string temporary;
    bool committed = false;
};

// Removes pending temporary files when the program is interrupted (Ctrl-C, SIGTERM).
void removeTemporaryFilesOnInterrupt();
