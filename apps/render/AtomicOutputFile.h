#pragma once

#include <string>
#include <vector>

namespace varnoke::render
{
// An output written to a temporary file beside its destination and put in
// place only when complete, so a failure or an interruption never leaves a
// partial file under the real name.
//
// The temporary file has no name at all where the file system allows it
// (O_TMPFILE): a process that ends in any way, even by SIGKILL or a crash,
// then leaves nothing behind, and no signal handler is involved. The commit
// links it straight under the destination's name, so no other name ever
// shows; only when it replaces an existing file, which a link cannot do, is it
// linked under the temporary name for the instant before the rename.
// Elsewhere it is a named file "DESTINATION.partial-PID" that the handlers
// cleanup::installSignalHandlers remove when a signal ends the process.
class AtomicOutputFile
{
public:
    enum class Naming
    {
        unnamedWhenPossible,
        named
    };

    explicit AtomicOutputFile(std::string destination, Naming naming = Naming::unnamedWhenPossible);
    ~AtomicOutputFile();  // discards the temporary file unless committed

    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Creates the temporary file; throws RenderError on failure.
    void open();

    // The temporary file, open for writing; -1 before open.
    int descriptor() const { return fd; }
    bool isUnnamed() const { return unnamed; }
    const std::string& destinationPath() const { return destination; }

    // Closes the temporary file and puts it in place of the destination;
    // throws RenderError on failure.
    void commit();

private:
    void openNamed();
    bool linkUnnamedAs(const std::string& name) const;
    void linkUnnamedAsTemporary();
    [[noreturn]] void failWithErrno() const;
    void discard();

    std::string destination;
    std::string temporary;  // the name the file has, or gets at the commit
    Naming naming;
    int fd = -1;
    int cleanupSlot = -1;
    bool unnamed = false;
    bool named = false;  // the file exists under the temporary name
    bool committed = false;
};

// Writes the bytes as the whole file at path, through an AtomicOutputFile;
// throws RenderError on failure.
void writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes);
}  // namespace varnoke::render
